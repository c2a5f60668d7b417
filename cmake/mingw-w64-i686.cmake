# Cross build for 32-bit x86 Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
# Linked statically like the 64-bit build. Hosts whose kernel runs no 32-bit
# code cannot run the result under Wine, so it is only compiled here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZEREDUV_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Doubles in SSE2 registers, rounded to double after every operation as on
# x86-64: the x87 unit's 80-bit intermediates would change field values in
# their last bits.  Every x86 processor since the Pentium 4 has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
