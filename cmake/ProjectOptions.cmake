# Compiler settings live on this INTERFACE target; every project target links it PRIVATE.
add_library(qev_options INTERFACE)
add_library(qev::options ALIAS qev_options)
target_compile_options(qev_options INTERFACE -Wall -Wextra)
target_compile_features(qev_options INTERFACE cxx_std_20)

# gold links the large test programs two to three times faster than the
# default linker; every build links a dozen of them.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=gold QEV_LINKER_GOLD)
if(QEV_LINKER_GOLD)
  target_link_options(qev_options INTERFACE -fuse-ld=gold)
endif()

if(QEV_SANITIZE)
  # -O1 and line tables only: the sanitizers' reports keep their file and
  # line, and the build takes half the time it takes at -O2 with full
  # debug information.
  target_compile_options(qev_options INTERFACE
    -O1 -g1 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qev_options INTERFACE -fsanitize=address,undefined)
endif()

# libFuzzer build (clang only): the project's code gets coverage hooks and
# AddressSanitizer/UndefinedBehaviorSanitizer; fuzz/ links the fuzz targets
# with libFuzzer's main. scripts/fuzz makes and runs this build.
option(QEV_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)
if(QEV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QEV_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  target_compile_options(qev_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qev_options INTERFACE -fsanitize=address,undefined)
endif()

include(GoogleTest)

# Registers a GoogleTest executable with CTest. Test names start with the
# target's name, so `ctest -R common` picks one area's tests.
function(qev_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main qev::options)
  gtest_discover_tests(${target} TEST_PREFIX "${target}." PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8" DISCOVERY_TIMEOUT 60)
endfunction()

# Registers a GoogleTest executable whose tests use real Qt widgets; its main
# (from qev::testing) owns a QApplication on the offscreen platform.
function(qev_add_qt_gtest target)
  target_link_libraries(${target} PRIVATE qev::testing GTest::gtest qev::options)
  gtest_discover_tests(${target} TEST_PREFIX "${target}."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    DISCOVERY_TIMEOUT 60)
endfunction()
