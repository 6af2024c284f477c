# Cross-building for Windows (x86_64) with Debian's MinGW-w64 compilers (g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TWL_MINGW_PREFIX x86_64-w64-mingw32)

# The POSIX-threads variant: its std::chrono::steady_clock is the performance counter (through
# winpthreads' CLOCK_MONOTONIC); the win32 variant's is the system time of day.
set(CMAKE_C_COMPILER ${TWL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TWL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TWL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TWL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
