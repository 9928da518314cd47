# oidview.exe under Wine reporting Windows 95 and NT 4, compared with the Linux
# oidview on the same registry.
if(TARGET oidview AND NOT WIN32)
  kit_add_wine_test(oidview_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/oidview.py)
endif()
