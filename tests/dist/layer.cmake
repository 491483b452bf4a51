# The distribution zip, unzipped into a scratch folder as a modeller would: its file list,
# readme.txt's line ends, stripped programs, and, under Wine, pelvarn-cli.exe check and a
# three-job run from the unzipped folder.
if(PELVARN_DIST_ZIP AND TARGET dist)
  add_test(NAME dist_zip
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh ${PELVARN_DIST_ZIP}
                   ${CMAKE_CURRENT_BINARY_DIR}/dist-unzipped "${CMAKE_OBJDUMP}"
                   "${CMAKE_CROSSCOMPILING_EMULATOR}")
  set_tests_properties(dist_zip PROPERTIES TIMEOUT 120)
endif()
