#pragma once

class QWidget;

// The Test action of the main window: the mode's test dialog, or for the police interface the
// current guest record in a message box; nothing while the mode's device reference is null.
void ShowModeTest(QWidget* mainWindow);
