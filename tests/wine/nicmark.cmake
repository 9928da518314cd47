# nicmark.exe under Wine (win95 and nt40) against the Linux nicmark on the
# same scenarios: standard error, exit code and registry compared.
kit_add_wine_test(nicmark_wine COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/nicmark.py)
