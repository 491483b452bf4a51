# End-to-end tests of pelvarn.exe (Windows build only; under Wine they need an X display,
# which scripts/test provides with xvfb-run). The driver starts the program beside a job
# folder whose batch file runs the fake job, and works the window from outside.
if(WIN32 AND TARGET pelvarn)
  add_executable(pelvarn_e2e_driver ${CMAKE_CURRENT_LIST_DIR}/driver.cpp)
  target_link_libraries(pelvarn_e2e_driver PRIVATE psapi)
  add_executable(fakejob ${CMAKE_CURRENT_LIST_DIR}/fakejob.cpp)
  # The recording stand-in for hhctrl.ocx, beside the driver, which copies it beside the
  # program under test together with pelvarn.chm.
  add_library(fakehhctrl SHARED ${CMAKE_CURRENT_LIST_DIR}/fakehhctrl.cpp)
  set_target_properties(fakehhctrl PROPERTIES OUTPUT_NAME hhctrl PREFIX "" SUFFIX ".ocx"
                        RUNTIME_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:pelvarn_e2e_driver>)
  add_dependencies(pelvarn_e2e_driver pelvarn fakejob fakehhctrl pelvarn_helpfile)
  foreach(scenario basic failures tools driveroot help)
    add_test(NAME e2e_${scenario}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh ${scenario}
                     $<TARGET_FILE:pelvarn_e2e_driver> $<TARGET_FILE:pelvarn>
                     $<TARGET_FILE:fakejob> ${CMAKE_CURRENT_BINARY_DIR}/e2e-${scenario}
                     ${CMAKE_BINARY_DIR}/e2e-mainwindow "${CMAKE_CROSSCOMPILING_EMULATOR}")
    # One at a time: the scenarios read the screen (icons, hints, the screenshot) and their
    # windows would overlap on the one display.
    set_tests_properties(e2e_${scenario} PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                         RESOURCE_LOCK pelvarn_e2e_display)
  endforeach()
  # The about box and the diagnostics window, with the stand-in suite as the translator.
  if(TARGET kesto)
    add_dependencies(pelvarn_e2e_driver kesto)
    add_test(NAME e2e_about
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh about
                     $<TARGET_FILE:pelvarn_e2e_driver> $<TARGET_FILE:pelvarn>
                     $<TARGET_FILE:kesto> ${CMAKE_CURRENT_BINARY_DIR}/e2e-about
                     ${CMAKE_BINARY_DIR}/e2e-aboutbox "${CMAKE_CROSSCOMPILING_EMULATOR}")
    set_tests_properties(e2e_about PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77
                         RESOURCE_LOCK pelvarn_e2e_display)
    # The overnight search window on the demo job folder, the stand-in suite beside it.
    add_test(NAME e2e_overnight
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run.sh overnight
                     $<TARGET_FILE:pelvarn_e2e_driver> $<TARGET_FILE:pelvarn>
                     $<TARGET_FILE:kesto> ${CMAKE_CURRENT_BINARY_DIR}/e2e-overnight
                     ${CMAKE_BINARY_DIR}/e2e-overnight "${CMAKE_CROSSCOMPILING_EMULATOR}")
    set_tests_properties(e2e_overnight PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
                         RESOURCE_LOCK pelvarn_e2e_display
                         ENVIRONMENT "PELVARN_E2E_DEMO=Z:${PROJECT_SOURCE_DIR}/examples/model")
  endif()
endif()
