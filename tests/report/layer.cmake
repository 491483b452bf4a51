# The search report end to end: the demo model's search leaves one, "pelvarn-cli report"
# writes it again, the page parses as XML, and headless Chromium renders it with its plot
# (build/native/report-demo.png, kept as an artefact). Native only: the browser is Linux's.
if(TARGET pelvarn-cli AND TARGET kesto AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME report
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/report_e2e.sh $<TARGET_FILE:pelvarn-cli>
                   $<TARGET_FILE:kesto> ${CMAKE_SOURCE_DIR}/examples/model
                   ${CMAKE_BINARY_DIR}/report-demo.png)
  set_tests_properties(report PROPERTIES TIMEOUT 240)
endif()
