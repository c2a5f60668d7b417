# Shared part of the MinGW-w64 toolchain files; ZEREDUV_MINGW_TRIPLE names
# the target. The posix-thread compilers provide std::thread and friends.
set(CMAKE_C_COMPILER ${ZEREDUV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEREDUV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEREDUV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEREDUV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLLs: everything goes into the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
