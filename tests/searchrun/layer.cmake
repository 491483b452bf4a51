# End-to-end tests of "pelvarn-cli search" with real jobs: kesto's generated models and shell
# jobs that crash, hang or go through a launcher. The demo model's convergence plot is left
# as search-demo.svg in the build folder. Under Wine a smaller set runs (cmd.exe jobs).
if(TARGET pelvarn-cli AND TARGET kesto)
  add_test(NAME searchrun
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/search_e2e.sh $<TARGET_FILE:pelvarn-cli>
                   $<TARGET_FILE:kesto> ${CMAKE_SOURCE_DIR}/examples/model
                   ${CMAKE_BINARY_DIR}/search-demo.svg "${CMAKE_CROSSCOMPILING_EMULATOR}")
  set_tests_properties(searchrun PROPERTIES TIMEOUT 300)
endif()
