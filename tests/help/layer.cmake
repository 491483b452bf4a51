# The built help file read back: its context map against the program's contexts, its links,
# and the plain HTML pages. Needs chmcmd, extract_chmLib and python3.
find_package(Python3 COMPONENTS Interpreter)
if(PELVARN_CHM AND PELVARN_EXTRACT_CHMLIB AND Python3_Interpreter_FOUND AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME help_file
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_helpfile.py
                   ${PELVARN_CHM} ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/help/html)
endif()
