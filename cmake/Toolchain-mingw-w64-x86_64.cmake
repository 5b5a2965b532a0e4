# Cross-compiles Quarrow for Windows x64 with mingw-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARROW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARROW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARROW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARROW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARROW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs and benchmarks run under Wine; ctest prefixes every command with this.
find_program(QUARROW_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARROW_WINE})
