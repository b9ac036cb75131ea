# Cross-builds the Windows programs with Debian's mingw-w64 (the posix thread model, so std::thread
# and std::mutex work) and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QZM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QZM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QZM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QZM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QZM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C and C++ run-time inside, so the zip needs no extra DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QZM_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QZM_WINE})
