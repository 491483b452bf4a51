set(PELVARN_MINGW_TRIPLE x86_64-w64-mingw32)
set(PELVARN_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Test programs run under Wine; only the 64-bit loader exists on these machines.
find_program(PELVARN_WINE NAMES wine wine64)
if(PELVARN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PELVARN_WINE})
endif()
