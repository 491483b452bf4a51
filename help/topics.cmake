# The help file pelvarn.chm, compiled with chmcmd from the topics in topics/, and the same
# topics as plain HTML pages in <build>/help/html/. The context map comes from the table in
# helpcontexts.h, so that the program and its help file cannot disagree on a number.
set(PELVARN_HELP_SRC ${CMAKE_CURRENT_SOURCE_DIR}/topics)
set(PELVARN_HELP_OUT ${CMAKE_BINARY_DIR}/help)
set(PELVARN_HELP_STAGE ${PELVARN_HELP_OUT}/chm)
file(GLOB PELVARN_HELP_TOPICS CONFIGURE_DEPENDS ${PELVARN_HELP_SRC}/*.htm)
set(PELVARN_HELP_SOURCES ${PELVARN_HELP_TOPICS} ${PELVARN_HELP_SRC}/pelvarn.css
    ${PELVARN_HELP_SRC}/pelvarn.hhc ${PELVARN_HELP_SRC}/pelvarn.hhk)

# helpcontexts.h: "inline constexpr int HcName = N;" and "{HcName, "IDH_X", "topic.htm"},".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/helpcontexts.h ${PELVARN_HELP_SRC}/pelvarn.hhp.in)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/helpcontexts.h _header)
string(REGEX MATCHALL "inline constexpr int Hc[A-Za-z]+ = [0-9]+" _constants "${_header}")
foreach(_c ${_constants})
  string(REGEX REPLACE "inline constexpr int (Hc[A-Za-z]+) = ([0-9]+)" "\\1;\\2" _pair "${_c}")
  list(GET _pair 0 _name)
  list(GET _pair 1 _number)
  set(_number_${_name} ${_number})
endforeach()
string(REGEX MATCHALL "{Hc[A-Za-z]+, \"[A-Z_]+\", \"[a-z_]+\\.htm\"}" _entries "${_header}")
set(PELVARN_HELP_ALIAS "")
set(_map "")
set(_list "")
foreach(_e ${_entries})
  string(REGEX REPLACE "{(Hc[A-Za-z]+), \"([A-Z_]+)\", \"([a-z_]+\\.htm)\"}" "\\1;\\2;\\3" _f "${_e}")
  list(GET _f 0 _name)
  list(GET _f 1 _alias)
  list(GET _f 2 _topic)
  if(NOT DEFINED _number_${_name})
    message(FATAL_ERROR "helpcontexts.h: ${_name} has no number")
  endif()
  string(APPEND PELVARN_HELP_ALIAS "${_alias}=${_topic}\n")
  string(APPEND _map "#define ${_alias} ${_number_${_name}}\n")
  string(APPEND _list "${_number_${_name}} ${_alias} ${_topic}\n")
endforeach()
set(PELVARN_HELP_FILES "")
foreach(_t ${PELVARN_HELP_TOPICS})
  get_filename_component(_n ${_t} NAME)
  string(APPEND PELVARN_HELP_FILES "${_n}\n")
endforeach()
string(APPEND PELVARN_HELP_FILES "pelvarn.css\n")
file(MAKE_DIRECTORY ${PELVARN_HELP_STAGE})
file(WRITE ${PELVARN_HELP_OUT}/context.h.tmp "${_map}")
configure_file(${PELVARN_HELP_OUT}/context.h.tmp ${PELVARN_HELP_STAGE}/context.h COPYONLY)
# The program's contexts, one "number alias topic" a line, for the help file's test.
file(WRITE ${PELVARN_HELP_OUT}/contexts.txt.tmp "${_list}")
configure_file(${PELVARN_HELP_OUT}/contexts.txt.tmp ${PELVARN_HELP_OUT}/contexts.txt COPYONLY)
configure_file(${PELVARN_HELP_SRC}/pelvarn.hhp.in ${PELVARN_HELP_STAGE}/pelvarn.hhp @ONLY)

# The plain HTML pages.
set(_html_outputs)
foreach(_s ${PELVARN_HELP_TOPICS} ${PELVARN_HELP_SRC}/pelvarn.css)
  get_filename_component(_n ${_s} NAME)
  list(APPEND _html_outputs ${PELVARN_HELP_OUT}/html/${_n})
endforeach()
add_custom_command(
  OUTPUT ${_html_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PELVARN_HELP_OUT}/html
  COMMAND ${CMAKE_COMMAND} -E copy ${PELVARN_HELP_TOPICS} ${PELVARN_HELP_SRC}/pelvarn.css
          ${PELVARN_HELP_OUT}/html
  DEPENDS ${PELVARN_HELP_TOPICS} ${PELVARN_HELP_SRC}/pelvarn.css
  COMMENT "Help topics as HTML pages"
  VERBATIM)
set(PELVARN_HELP_TARGETS ${_html_outputs})

find_program(PELVARN_CHMCMD chmcmd)
find_package(Python3 COMPONENTS Interpreter)
find_program(PELVARN_EXTRACT_CHMLIB extract_chmLib)
if(PELVARN_CHMCMD)
  set(PELVARN_CHM ${PELVARN_HELP_OUT}/pelvarn.chm CACHE INTERNAL "the compiled help file")
  set(_fix)
  if(Python3_Interpreter_FOUND AND PELVARN_EXTRACT_CHMLIB)
    # chmcmd writes the context map's targets as paths of the build machine; the fix points
    # them at the topics inside the file.
    set(_fix COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/chmfix.py
             ${PELVARN_HELP_STAGE}/pelvarn.chm ${PELVARN_HELP_STAGE}/ ${PELVARN_EXTRACT_CHMLIB})
  else()
    message(WARNING "python3 or extract_chmLib (package libchm-bin) not found: "
                    "pelvarn.chm will open no topic by context number")
  endif()
  add_custom_command(
    OUTPUT ${PELVARN_CHM}
    COMMAND ${CMAKE_COMMAND} -E copy ${PELVARN_HELP_SOURCES} ${PELVARN_HELP_STAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${PELVARN_HELP_STAGE}/pelvarn.chm
    COMMAND ${PELVARN_CHMCMD} --verbosity 0 pelvarn.hhp
    ${_fix}
    COMMAND ${CMAKE_COMMAND} -E copy ${PELVARN_HELP_STAGE}/pelvarn.chm ${PELVARN_CHM}
    WORKING_DIRECTORY ${PELVARN_HELP_STAGE}
    DEPENDS ${PELVARN_HELP_SOURCES} ${PELVARN_HELP_STAGE}/pelvarn.hhp
            ${PELVARN_HELP_STAGE}/context.h ${CMAKE_CURRENT_SOURCE_DIR}/chmfix.py
    COMMENT "Compiling pelvarn.chm"
    VERBATIM)
  list(APPEND PELVARN_HELP_TARGETS ${PELVARN_CHM})
else()
  unset(PELVARN_CHM CACHE)
  message(WARNING "chmcmd (package fp-utils) not found: pelvarn.chm is not built")
endif()
add_custom_target(pelvarn_helpfile ALL DEPENDS ${PELVARN_HELP_TARGETS})
# Beside pelvarn.exe, where the program looks for it.
if(PELVARN_CHM AND TARGET pelvarn)
  add_custom_command(TARGET pelvarn_helpfile POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy ${PELVARN_CHM} $<TARGET_FILE_DIR:pelvarn>
                     VERBATIM)
endif()
