#include "app/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Before anything loads a library by name: only System32, never the program's own folder
    // (a download folder may hold a planted DLL).
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return runPeltorine(instance);
}
