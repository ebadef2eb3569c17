// peltorine_devdesktop.exe: a stand-in for the parts of the Windows shell's desktop that Wine
// lacks, so that Peltorine can be watched at work under Wine.
//
//     peltorine_devdesktop.exe [--layout=win10|win11]    runs the desktop until WM_CLOSE
//     peltorine_devdesktop.exe --set [--wallpaper=PATH] [--monitor=ID] [--position=fill]
//                              [--color=RRGGBB] [--enable=0|1]
//                                                        changes the wallpaper through
//                                                        CLSID_DesktopWallpaper, then exits
#include "tools/desktop/desktop_windows.h"
#include "tools/desktop/run_desktop.h"
#include "tools/desktop/wallpaper_command.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> commandLineOptions()
{
    std::vector<std::wstring> options;
    int count = 0;
    if (LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            options.emplace_back(arguments[i]);
        LocalFree(arguments);
    }
    return options;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    std::vector<std::wstring> options;
    try {
        options = commandLineOptions();
    } catch (...) {
        return 1;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int exitCode = 0;
    if (!options.empty() && options.front() == L"--set") {
        options.erase(options.begin());
        exitCode = runWallpaperCommand(options);
    } else {
        DesktopLayout layout = DesktopLayout::Windows10;
        for (const std::wstring& option : options) {
            if (option == L"--layout=win11") {
                layout = DesktopLayout::Windows11;
            } else if (option != L"--layout=win10") {
                sayLine(L"unknown option \"%ls\" (use --layout=win10, --layout=win11 or --set ...)", option.c_str());
                CoUninitialize();
                return 2;
            }
        }
        exitCode = runDesktop(instance, layout);
    }
    CoUninitialize();
    return exitCode;
}
