# Shared by the mingw-w64 cross toolchains: set VANTRO_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VANTRO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTRO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTRO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VANTRO_MINGW_TRIPLE}-ar)
set(CMAKE_RANLIB ${VANTRO_MINGW_TRIPLE}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTRO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs every test .exe through Wine (prefix and quiet settings in the wrapper).
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tests/support/wine-run.sh")
