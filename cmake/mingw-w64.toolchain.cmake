# Cross build for 64-bit Windows with MinGW-w64 (the -posix compilers, for
# std::thread), tests run under Wine:
#   cmake -S . -B build-win -G Ninja --toolchain cmake/mingw-w64.toolchain.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOVANT_MINGW x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER ${KOVANT_MINGW}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${KOVANT_MINGW}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${KOVANT_MINGW}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${KOVANT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs to ship beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest (and gtest_discover_tests) run the programs through Wine; the
# wrapper joins the Wine of scripts/with-wine or starts one.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
