// Brings one of the phone's windows in front of the others, as when the user
// clicks it: shown, restored from the task bar, raised and given the focus.
#pragma once

class QWidget;

void BringForward(QWidget& window);
