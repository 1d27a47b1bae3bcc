#include <windows.h>

#include "Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    return RunKagero(instance, showCommand, nullptr);
}
