# The halvane program: the entry, start-up and shutdown.
target_sources(halvane_core PRIVATE HeadlessInterfaceUnit.cpp ProgramFolderUnit.cpp)

if(TARGET halvane_gui)
  add_executable(halvane main.cpp StartInterfaceUnit.cpp)
  target_link_libraries(halvane PRIVATE halvane_gui halvane_core)
  # libtarnel.so is found beside the program, so a hotel can drop in a vendor build of it.
  set_target_properties(halvane PROPERTIES BUILD_RPATH "$ORIGIN" INSTALL_RPATH "$ORIGIN")
endif()
