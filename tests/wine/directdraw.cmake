# The DirectDraw seam on Wine's DirectDraw, through a minimal host
# (directdraw_probe.exe).
kit_add_wine_test(directdraw_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/directdraw.py)
