# NetBIOS behind the seam: the platform's Netbios on Windows; on Linux the
# simulated notebook's LAN adapters, taken from the machine profile or from
# the machine's own network interfaces (posix/).
if(WIN32)
  add_library(kit_netbios_win32 STATIC win32/netbios_win32.cpp)
  target_link_libraries(kit_netbios_win32 PUBLIC kit_platform netapi32)
else()
  add_library(kit_posix STATIC posix/host_interfaces.cpp)
  target_link_libraries(kit_posix PUBLIC kit_platform)

  add_library(kit_netbios_sim STATIC sim/netbios_sim.cpp)
  target_link_libraries(kit_netbios_sim PUBLIC kit_sim kit_posix)

  if(KIT_TESTS)
    kit_add_unit_test(netbios_platform_test sim/netbios_sim_test.cpp posix/host_interfaces_test.cpp)
    target_link_libraries(netbios_platform_test PRIVATE kit_netbios_sim)
  endif()
endif()
