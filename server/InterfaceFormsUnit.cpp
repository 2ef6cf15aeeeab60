#include "InterfaceFormsUnit.h"

#include "shell/InterfaceModeUnit.h"

void ShowModeTest(QWidget*) {}
