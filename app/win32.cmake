# pelvarn.exe: the Win32 main window over the portable run logic. A GUI (WIN32 subsystem)
# program, linked statically (see the root CMakeLists), with its manifest, icon and glyphs.
enable_language(RC)
file(GLOB PELVARN_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_win32.cpp)
add_executable(pelvarn WIN32 ${PELVARN_WIN32_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/res/pelvarn.rc)
target_include_directories(pelvarn PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/res)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/res/pelvarn.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/res/pelvarn.manifest;${CMAKE_CURRENT_SOURCE_DIR}/res/pelvarn.ico;${CMAKE_CURRENT_SOURCE_DIR}/res/picture.bmp;${CMAKE_CURRENT_SOURCE_DIR}/res/glyphs.bmp;${CMAKE_CURRENT_SOURCE_DIR}/res/resids.h;${CMAKE_CURRENT_SOURCE_DIR}/res/bee.wav;${CMAKE_CURRENT_SOURCE_DIR}/res/pop.wav")
target_link_libraries(pelvarn PRIVATE pelvarn_app pelvarn_help pelvarn_diag winmm comctl32 comdlg32 shell32 gdi32 user32 kernel32)
