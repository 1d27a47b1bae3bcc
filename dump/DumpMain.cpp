// kagero-dump: the console companion of the window program.
#include <windows.h>

#include "DumpWalk.h"

int wmain(int argc, wchar_t** argv)
{
    return RunDumpProgram(argc, argv, GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
}
