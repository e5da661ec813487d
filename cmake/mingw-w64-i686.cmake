# Cross build for 32-bit Windows (x86) with Debian's mingw-w64. The x86 program
# runs on 32- and 64-bit Windows alike.
set(V7ER_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
