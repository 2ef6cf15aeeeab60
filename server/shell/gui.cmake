# The shell's windows and dialogs.
target_sources(halvane_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AboutFormUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChangePasswordFormUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CheckPasswordFormUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShellDialogUnit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icons/ShellIconsUnit.cpp
)
