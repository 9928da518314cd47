# nicshow.exe under Wine against the Linux nicshow on this machine's real
# network interfaces: the same address line, banner and exit code.
kit_add_wine_test(nicshow_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/nicshow.py)
