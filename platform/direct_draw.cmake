# DirectDraw and global memory behind the seam: the platform's DDRAW.DLL and
# KERNEL32 on Windows; on Linux the simulated video memory and memory blocks.
if(WIN32)
  add_library(kit_directdraw_win32 STATIC win32/direct_draw_win32.cpp)
  target_link_libraries(kit_directdraw_win32 PUBLIC kit_platform ddraw)
else()
  # Linked into the driver's shared library, so built position-independent.
  add_library(kit_directdraw_sim STATIC sim/direct_draw_sim.cpp sim/global_memory_sim.cpp)
  set_property(TARGET kit_directdraw_sim PROPERTY POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(kit_directdraw_sim PUBLIC kit_sim)

  if(KIT_TESTS)
    kit_add_unit_test(directdraw_sim_test sim/direct_draw_sim_test.cpp)
    target_link_libraries(directdraw_sim_test PRIVATE kit_directdraw_sim)
  endif()
endif()

# A host of the DirectDraw seam on the platform's DirectDraw, for the
# end-to-end test under Wine (not shipped).
if(WIN32)
  add_executable(directdraw_probe ${CMAKE_SOURCE_DIR}/tests/wine/directdraw/probe.cpp)
  target_link_libraries(directdraw_probe PRIVATE kit_directdraw_win32)
  kit_windows_program(directdraw_probe)
endif()
