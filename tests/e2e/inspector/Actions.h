// What a user does to a window, done by message.  Each returns an empty
// string on success, else why it could not be done.  Presses are posted, so
// the inspector returns at once while the window goes on to act on them.
#pragma once

#include <windows.h>

#include <string>

namespace inspector {

std::string Click(HWND button);
std::string Select(HWND list, int index);
// What a double click on the list's selected item tells the list's parent.
std::string DoubleClick(HWND list);
// Presses the OK button of a message box.
std::string PressOk(HWND box);

}  // namespace inspector
