# The process tests start the helper program; they are told where it is.
if(TARGET pelvarn_platform_tests AND TARGET pelvarn_test_helper)
  add_dependencies(pelvarn_platform_tests pelvarn_test_helper)
  target_compile_definitions(pelvarn_platform_tests PRIVATE
    PELVARN_TEST_HELPER="$<TARGET_FILE:pelvarn_test_helper>")
endif()
