#pragma once

// Writing the scripts of stage tests as expressions rather than raw
// pushes: each expression pushes its value, so that
//   trace(a, member(get("c.transform"), "matrix"))
// reads like the ActionScript it stands for.

#include "qev/swf/ActionAssembler.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace stage_script {

using qev::swf::writer::ActionAssembler;
namespace op = qev::swf::writer::op;

using Expr = std::function<void(ActionAssembler&)>;

inline Expr num(double n)
{
    return [n](ActionAssembler& a) { a.push(n); };
}

inline Expr str(const QString& s)
{
    return [s](ActionAssembler& a) { a.push(s); };
}

inline Expr boolean(bool b)
{
    return [b](ActionAssembler& a) { a.pushBool(b); };
}

inline Expr null()
{
    return [](ActionAssembler& a) { a.pushNull(); };
}

// A dot path: a variable, then members ("c.transform.matrix").
inline Expr get(const QString& path)
{
    return [path](ActionAssembler& a) {
        const QStringList parts = path.split(u'.');
        a.push(parts[0]).op(op::GetVariable);
        for (int i = 1; i < parts.size(); ++i)
            a.push(parts[i]).op(op::GetMember);
    };
}

inline Expr member(Expr object, const QString& name)
{
    return [object, name](ActionAssembler& a) {
        object(a);
        a.push(name).op(op::GetMember);
    };
}

inline void pushArgs(ActionAssembler& a, const std::vector<Expr>& args)
{
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        (*it)(a);
    a.push(int(args.size()));
}

inline Expr call(Expr object, const QString& method, std::vector<Expr> args = {})
{
    return [object, method, args](ActionAssembler& a) {
        pushArgs(a, args);
        object(a);
        a.push(method).op(op::CallMethod);
    };
}

// A global function: trace-free calls like getTimer().
inline Expr callFunction(const QString& name, std::vector<Expr> args = {})
{
    return [name, args](ActionAssembler& a) {
        pushArgs(a, args);
        a.push(name).op(op::CallFunction);
    };
}

// new <path>(args): "flash.geom.Matrix" or "Color".
inline Expr make(const QString& classPath, std::vector<Expr> args = {})
{
    return [classPath, args](ActionAssembler& a) {
        pushArgs(a, args);
        const int dot = classPath.lastIndexOf(u'.');
        if (dot < 0) {
            a.push(classPath).op(op::NewObject);
            return;
        }
        get(classPath.left(dot))(a);
        a.push(classPath.mid(dot + 1)).op(op::NewMethod);
    };
}

// A function literal whose body is already assembled.
inline Expr function(const ActionAssembler& body, const QStringList& params = {})
{
    return [body, params](ActionAssembler& a) { a.function(QString(), params, body); };
}

// ---- statements ----

inline void setVar(ActionAssembler& a, const QString& name, Expr value)
{
    a.push(name);
    value(a);
    a.op(op::SetVariable);
}

inline void set(ActionAssembler& a, Expr object, const QString& name, Expr value)
{
    object(a);
    a.push(name);
    value(a);
    a.op(op::SetMember);
}

inline void trace(ActionAssembler& a, Expr value)
{
    value(a);
    a.op(op::Trace);
}

inline void run(ActionAssembler& a, Expr value)
{
    value(a);
    a.op(op::Pop);
}

} // namespace stage_script
