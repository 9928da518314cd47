# ovlport.dll under Wine, loaded by a minimal host (ovlport_probe.exe).
kit_add_wine_test(ovlport_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/ovlport.py)

# The exports of both Windows builds: names and ordinals (no Wine needed).
add_test(NAME ovlport_exports
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check_ovlport_exports.py ${KIT_WINDOWS_BUILD_ROOT})
set_tests_properties(ovlport_exports PROPERTIES LABELS windows SKIP_RETURN_CODE 77)
