# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build-win64 --toolchain cmake/mingw-w64-x86_64.cmake
# The programs are linked statically, so they need no DLLs beside them, and
# run under Wine on this machine (the tests use it as their emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZEREDUV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

find_program(ZEREDUV_WINE NAMES wine64 wine
             PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZEREDUV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEREDUV_WINE})
endif()
