# The lister against a kernel-mode companion test device under Wine (built
# from tests/wine/device by the harness with the 64-bit MinGW-w64 compiler),
# compared with the Linux lister on the simulated device.
kit_add_wine_test(testdevice_probe COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/testdevice_probe.py)

if(TARGET oidview_core AND NOT WIN32)
  # The Linux lister that also writes down the requests its simulated device
  # received, for the comparison with what the test device received.
  add_executable(oidview_record ${CMAKE_CURRENT_LIST_DIR}/device/oidview_record.cpp)
  target_link_libraries(oidview_record PRIVATE oidview_core kit_sim)
  kit_add_wine_test(oidview_testdevice COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/wine/oidview_testdevice.py)
endif()
