#pragma once
// Running the development desktop: in its own process (peltorine_devdesktop.exe), or on a
// thread of its own inside the process that loads the desktop-wallpaper object.
//
// Wine draws nothing of a child window whose parent belongs to another process, so video
// windows, which are children of "WorkerW" or "Progman", show only when the desktop's windows
// live in the program's own process. When the environment variable
// PELTORINE_DEVDESKTOP_IN_PROCESS is "win10" or "win11", the desktop-wallpaper object starts the
// desktop in that layout on a thread of the loading process the first time its class object is
// asked for (scripts/run does this). The program itself does not change.
#include "tools/desktop/desktop_windows.h"

#include <windows.h>

// Runs the desktop on the calling thread until WM_CLOSE; 3 when one already runs in the prefix.
// With prepareWorker the desktop answers a first 0x052C at once, as a shell that has already
// split its windows.
int runDesktop(HINSTANCE instance, DesktopLayout layout, bool prepareWorker = false) noexcept;

// Starts the desktop on a new thread of this process, once, when the environment asks for it.
void startInProcessDesktopIfAsked(HINSTANCE instance) noexcept;
