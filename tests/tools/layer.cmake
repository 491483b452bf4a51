# pelvarn-cli move-condensations driven on real files, and on the demo model through the
# stand-in suite when it is built.
if(TARGET pelvarn-cli)
  set(_kesto "")
  if(TARGET kesto)
    set(_kesto $<TARGET_FILE:kesto>)
  endif()
  add_test(NAME cli_move_condensations
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/move_condensations.sh
                   $<TARGET_FILE:pelvarn-cli> "${CMAKE_CROSSCOMPILING_EMULATOR}" "${_kesto}"
                   ${CMAKE_SOURCE_DIR}/examples/model)
endif()
