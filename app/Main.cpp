#include <windows.h>

#include "ControlSite.h"
#include "Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    return RunKagero(instance, showCommand, MakeControlSite, commandLine);
}
