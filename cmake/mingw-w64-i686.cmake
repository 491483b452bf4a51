set(PELVARN_MINGW_TRIPLE i686-w64-mingw32)
set(PELVARN_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# No emulator: 32-bit code cannot run on these machines.
