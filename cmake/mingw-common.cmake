# What both Windows cross builds share: mingw-w64 with win32 threads and a static
# runtime, tests run under Wine in a scratch prefix (tools/wine-run). The including
# file sets VELMORA_MINGW (the compiler triple), VELMORA_WINNT (the oldest Windows the
# binaries load on) and CMAKE_SYSTEM_PROCESSOR.
# The headers hide what a later Windows added, and the win32 thread model keeps
# winpthreads (which imports Vista's GetTickCount64) out of the runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VELMORA_MINGW}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VELMORA_MINGW}-g++-win32)
set(CMAKE_RC_COMPILER ${VELMORA_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELMORA_MINGW})
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=${VELMORA_WINNT} -DWINVER=${VELMORA_WINNT}")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=${VELMORA_WINNT} -DWINVER=${VELMORA_WINNT}")
set(CMAKE_RC_FLAGS_INIT "-D_WIN32_WINNT=${VELMORA_WINNT} -DWINVER=${VELMORA_WINNT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
