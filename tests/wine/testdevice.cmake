# The lister against a kernel-mode companion test device under Wine (built
# from tests/wine/device by the harness with the 64-bit MinGW-w64 compiler).
kit_add_wine_test(testdevice_probe COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/testdevice_probe.py)
