# Helper programs that the process tests start.
add_executable(pelvarn_test_helper ${CMAKE_CURRENT_LIST_DIR}/pelvarn_test_helper.cpp)
target_link_libraries(pelvarn_test_helper PRIVATE pelvarn_platform)
