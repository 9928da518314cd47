# The display side of the platform for the overlay driver: the I/O ports and
# the screen queries.  On Windows the real ones; on Linux the simulated
# display controller and screen of the notebook.  The driver is a shared
# library, so on Linux the simulated notebook is built as position-independent
# code.
if(TARGET kit_display_sim OR TARGET kit_display_win32)
  return()
endif()
set(kit_display_dir ${CMAKE_CURRENT_LIST_DIR})
if(WIN32)
  add_library(kit_display_win32 STATIC ${kit_display_dir}/win32/display_win32.cpp)
  target_link_libraries(kit_display_win32 PUBLIC kit_platform)
else()
  set_property(TARGET kit_platform kit_sim PROPERTY POSITION_INDEPENDENT_CODE ON)
  add_library(kit_display_sim STATIC ${kit_display_dir}/sim/display_sim.cpp)
  set_property(TARGET kit_display_sim PROPERTY POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(kit_display_sim PUBLIC kit_sim)
endif()

if(KIT_TESTS AND NOT WIN32)
  kit_add_unit_test(display_sim_test ${kit_display_dir}/sim/display_sim_test.cpp)
  target_link_libraries(display_sim_test PRIVATE kit_display_sim)
endif()
