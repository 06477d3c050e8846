# Cross-builds the parts without Qt for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which std::thread needs). The test programs run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZR_MINGW_TRIPLE}-windres)

# Headers and libraries from the mingw tree (and from prefixes given on the command line, such
# as the GoogleTest built for this target); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${ZR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: no libstdc++, libgcc or winpthread DLLs to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(ZR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/bin NO_CMAKE_FIND_ROOT_PATH)
if(ZR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZR_WINE})
endif()
