# Device I/O with overlapped completion and the user's language: the real
# calls on Windows; on Linux the simulated companion device and user locale.
if(WIN32)
  target_sources(kit_platform_win32 PRIVATE win32/device_io_win32.cpp)
else()
  target_sources(kit_sim PRIVATE sim/device_sim.cpp sim/language_sim.cpp)
  if(KIT_TESTS)
    kit_add_unit_test(device_sim_test sim/device_sim_test.cpp)
    target_link_libraries(device_sim_test PRIVATE kit_sim)
  endif()
endif()
