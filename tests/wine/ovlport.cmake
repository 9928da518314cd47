# ovlport.dll under Wine, loaded by a minimal host (ovlport_probe.exe).
kit_add_wine_test(ovlport_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/ovlport.py)
