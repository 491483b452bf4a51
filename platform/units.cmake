# The platform services beyond file access and the console. Units listed here contribute
# name.cpp and/or name_<os>.cpp; the Windows-only ones have no POSIX implementation at all.
list(APPEND PELVARN_PLATFORM_UNITS process xwutil placement sysprobe msgbox locdirs twtask)
list(APPEND PELVARN_PLATFORM_UNITS filelock)
if(WIN32)
  list(APPEND PELVARN_PLATFORM_UNITS KVRegKey formfont workarea memstat SafeClip)
  set(PELVARN_PLATFORM_WIN32_LIBS user32 gdi32 advapi32 shell32 comdlg32 ole32)
endif()
