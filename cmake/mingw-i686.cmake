# Cross build for 32-bit Windows; Windows XP SP3 is the oldest system the binaries load on.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELMORA_MINGW i686-w64-mingw32)
set(VELMORA_WINNT 0x0501)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
