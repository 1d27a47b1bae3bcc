#include "AppGlobals.h"

HINSTANCE AppInstance = nullptr;
int SystemMajorVersion = 0;
HWND MainWindowHandle = nullptr;
