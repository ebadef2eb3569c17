// The yardstick for Peltorine's idle cost: a bare tray program that holds what Peltorine must
// hold while idle (OLE, the desktop-wallpaper object, a WIC factory, a hidden window and a
// tray icon) and nothing else. scripts/bench runs it next to peltorine.exe and compares.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <wincodec.h>
#include <wrl/client.h>

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    int exitCode = 1;
    {
        Microsoft::WRL::ComPtr<IDesktopWallpaper> desktop;
        Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_DesktopWallpaper, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&desktop))) ||
            FAILED(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
            return 1;

        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"PeltorineIdleBaseline";
        RegisterClassW(&windowClass);
        const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"Idle baseline", WS_POPUP, 0,
                                            0, 0, 0, nullptr, nullptr, instance, nullptr);
        if (!window)
            return 1;

        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof(icon);
        icon.hWnd = window;
        icon.uID = 1;
        icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        icon.uCallbackMessage = WM_APP;
        icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        lstrcpynW(icon.szTip, L"Idle baseline", ARRAYSIZE(icon.szTip));
        Shell_NotifyIconW(NIM_ADD, &icon);

        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Shell_NotifyIconW(NIM_DELETE, &icon);
        DestroyWindow(window);
        exitCode = 0;
    }
    OleUninitialize();
    return exitCode;
}
