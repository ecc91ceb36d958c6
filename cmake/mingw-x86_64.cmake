# Cross build for 64-bit Windows; Windows XP x64 and Server 2003 x64 (NT 5.2), the
# first 64-bit x86 editions, are the oldest systems the binaries load on.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMORA_MINGW x86_64-w64-mingw32)
set(VELMORA_WINNT 0x0502)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
