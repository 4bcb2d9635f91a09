# Cross build for 64-bit Windows: the same sources, run by the tests where the
# machine cannot execute 32-bit code (and so cannot run 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANTRO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
