#include <windows.h>

#include "AppGlobals.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    AppInstance = instance;
    return 0;
}
