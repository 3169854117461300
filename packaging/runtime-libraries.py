#!/usr/bin/env python3
"""Which libraries a disc carries, and whether a disc carries all it needs.

  runtime-libraries.py closure BASICS OBJECT...
      Prints "soname path" for every library that the OBJECTs (programs,
      modules, plugins) load, directly or through each other, except the
      desktop's own (BASICS, desktop-libraries.txt) and what only those load.
      Paths are the system's: the run paths of the OBJECTs themselves, which
      point into a runtime folder being made, are not followed.

  runtime-libraries.py check BASICS START_FOLDER
      Runs ldd over every program and library of a start folder or disc
      (autorun.exe, Flash.ocx, runtime/ with its plugins) as the loader will
      find them there, and fails when a library one of them needs is not
      found or lies outside the folder without being a desktop library, or
      when a carried library has a run path of its own that would send the
      loader outside.
"""
import os
import re
import subprocess
import sys


def read_basics(path):
    patterns = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.strip()
            if line and not line.startswith("#"):
                patterns.append("(?:" + line + ")")
    return re.compile("|".join(patterns))


def dynamic_section(path):
    """The libraries an ELF object names as needed, and its run paths."""
    out = subprocess.run(["readelf", "-d", "-W", path], capture_output=True, text=True, check=True).stdout
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", out)
    paths = []
    for found in re.findall(r"\((?:RPATH|RUNPATH)\)\s+Library r(?:un)?path: \[(.*?)\]", out):
        paths += [p for p in found.split(":") if p]
    return needed, paths


def system_cache():
    """The loader's cache of the system's 64-bit libraries by soname."""
    out = subprocess.run(["ldconfig", "-p"], capture_output=True, text=True, check=True).stdout
    cache = {}
    for m in re.finditer(r"^\s*(\S+) \(([^)]*)\) => (\S+)$", out, re.M):
        name, kind, path = m.groups()
        if "x86-64" in kind:
            cache.setdefault(name, path)
    return cache


def closure(basics, objects):
    cache = system_cache()
    carried = {}
    unresolved = []
    todo = [(obj, False) for obj in objects]
    seen = set()
    while todo:
        obj, follow_run_path = todo.pop()
        if obj in seen:
            continue
        seen.add(obj)
        needed, run_paths = dynamic_section(obj)
        origin = os.path.dirname(os.path.realpath(obj))
        for name in needed:
            if basics.fullmatch(name):
                continue
            path = None
            if follow_run_path:
                for folder in run_paths:
                    candidate = os.path.join(folder.replace("$ORIGIN", origin), name)
                    if os.path.exists(candidate):
                        path = candidate
                        break
            path = path or cache.get(name)
            if not path:
                unresolved.append(f"{name} (needed by {obj})")
                continue
            carried.setdefault(name, path)
            todo.append((path, True))
    if unresolved:
        sys.exit("runtime-libraries: not found: " + ", ".join(sorted(set(unresolved))))
    for name in sorted(carried):
        print(name, carried[name])


def is_elf(path):
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def resolved_by_ldd(path, runtime):
    """soname -> path (None when not found) as the loader resolves them.
    Carried libraries and plugins get the runtime folder the way the
    player's run path gives it to them."""
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    env["LD_LIBRARY_PATH"] = runtime
    out = subprocess.run(["ldd", path], capture_output=True, text=True, env=env).stdout
    result = {}
    for line in out.splitlines():
        m = re.match(r"\s*(\S+) => (?:not found|(\S+) \(0x[0-9a-f]+\))", line)
        if m:
            result[m.group(1)] = m.group(2)
        # The loader itself is listed by its path alone.
        m = re.match(r"\s*(/\S+) \(0x[0-9a-f]+\)", line)
        if m:
            result[os.path.basename(m.group(1))] = m.group(1)
    return result


def check(basics, start):
    start = os.path.realpath(start)
    runtime = os.path.join(start, "runtime")
    programs = [os.path.join(start, p) for p in ("autorun.exe", "Flash.ocx")]
    objects = [p for p in programs if os.path.isfile(p) and is_elf(p)]
    faults = [f"{p}: missing" for p in programs if p not in objects]
    for folder, _, files in os.walk(runtime):
        objects += [os.path.join(folder, f) for f in sorted(files) if is_elf(os.path.join(folder, f))]
    for obj in objects:
        needed, run_paths = dynamic_section(obj)
        for folder in run_paths:
            if not folder.startswith("$ORIGIN"):
                faults.append(f"{obj}: run path {folder} leads the loader outside the disc")
        resolved = resolved_by_ldd(obj, runtime)
        for name in needed:
            path = resolved.get(name)
            if path is None:
                faults.append(f"{obj}: {name} not found")
            elif not os.path.realpath(path).startswith(start + os.sep) and not basics.fullmatch(name):
                faults.append(f"{obj}: {name} comes from outside the disc: {path}")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"runtime-libraries: {len(objects)} programs and libraries load only the disc's and the desktop's libraries")


def main(argv):
    if len(argv) >= 3 and argv[0] == "closure":
        closure(read_basics(argv[1]), argv[2:])
    elif len(argv) == 3 and argv[0] == "check":
        check(read_basics(argv[1]), argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
