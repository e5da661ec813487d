# Shared part of the mingw-w64 cross builds; the toolchain file of each
# processor sets V7ER_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first. Debian's
# posix thread model, so the C++ threading library is complete. Test
# executables run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${V7ER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${V7ER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${V7ER_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${V7ER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
