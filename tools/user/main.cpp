// peltorine_user.exe: does on the development desktop what a user does with the mouse (through
// SendInput, as the end-to-end tests do), so that scripts/run can show Peltorine at work without
// anything in peltorine.exe for it.
//
//     peltorine_user.exe double-click     double-clicks Peltorine's widget, or its notification-area
//                                         icon while there is no widget (restores the default wallpaper)
//     peltorine_user.exe drop FILE...     drags the files onto the widget and drops them there
//
// Waits up to 20 s for Peltorine to start. Exit code 0 when the gesture was made, 2 when
// Peltorine or its widget is not there, 1 on any other failure.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include "tests/support/file_drop_data.h"
#include "tests/support/mouse_drag.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kTrayCallbackMessage = 0x8001;
constexpr UINT kTrayIconId = 1;
constexpr DWORD kStartTimeoutMs = 20000;

void say(const wchar_t* text, const std::wstring& detail = {})
{
    std::fwprintf(stderr, L"peltorine_user: %ls%ls\n", text, detail.c_str());
}

HWND waitForWindow(const wchar_t* className, DWORD milliseconds, bool visible = false)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (HWND window = FindWindowW(className, nullptr); window && (!visible || IsWindowVisible(window)))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
}

POINT centreOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Moves the pointer and waits until it has stayed there for a while. Under Wine on X the first
// moves of a process can be undone a moment later by the X pointer's own position, so the move is
// sent again until it holds.
bool movePointerTo(POINT point)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    int steady = 0;
    for (int attempt = 0; GetTickCount64() < deadline && steady < 15; ++attempt) {
        POINT cursor{};
        const bool there = GetCursorPos(&cursor) && cursor.x == point.x && cursor.y == point.y;
        steady = there ? steady + 1 : 0;
        if (!there && attempt % 5 == 0)
            sendMouseInput(MOUSEEVENTF_MOVE, point);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 40, QS_ALLINPUT);
    }
    return steady >= 15;
}

// The widget once it has settled: Peltorine places it again shortly after it starts (relayout).
HWND visibleWidget()
{
    // Peltorine shows its widget once it has found the desktop's windows, later on a busy machine.
    HWND widget = waitForWindow(L"Peltorine.Widget", 10000, true);
    if (!widget)
        return nullptr;
    RECT last{};
    GetWindowRect(widget, &last);
    for (int still = 0, round = 0; still < 10 && round < 100; ++round) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        RECT now{};
        GetWindowRect(widget, &now);
        still = EqualRect(&now, &last) ? still + 1 : 0;
        last = now;
    }
    std::fwprintf(stderr, L"peltorine_user: the widget is at (%ld,%ld)-(%ld,%ld)\n", last.left, last.top, last.right,
                  last.bottom);
    return widget;
}

int doubleClick()
{
    HWND control = waitForWindow(L"Peltorine.Control", kStartTimeoutMs);
    if (!control) {
        say(L"Peltorine is not running");
        return 2;
    }
    if (HWND widget = visibleWidget()) {
        const POINT point = centreOf(widget);
        if (!movePointerTo(point)) {
            say(L"the pointer does not reach the widget");
            return 1;
        }
        for (const DWORD button : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
            sendMouseInput(button, point);
        POINT cursor{};
        GetCursorPos(&cursor);
        std::fwprintf(stderr, L"peltorine_user: double-clicked at (%ld,%ld); the pointer is at (%ld,%ld)\n", point.x,
                      point.y, cursor.x, cursor.y);
        return 0;
    }
    // No widget: the shell tells the icon's owner about a double-click with its callback message
    // (version 4: the event in the low word, the icon id in the high word, the point in wParam).
    POINT point{};
    GetCursorPos(&point);
    return PostMessageW(control, kTrayCallbackMessage, MAKEWPARAM(point.x, point.y),
                        MAKELPARAM(WM_LBUTTONDBLCLK, kTrayIconId))
               ? 0
               : 1;
}

int drop(const std::vector<std::wstring>& files)
{
    if (!waitForWindow(L"Peltorine.Control", kStartTimeoutMs)) {
        say(L"Peltorine is not running");
        return 2;
    }
    HWND widget = visibleWidget();
    if (!widget) {
        say(L"Peltorine shows no widget to drop files on");
        return 2;
    }
    std::vector<std::wstring> fullPaths;
    for (const std::wstring& file : files) {
        wchar_t full[MAX_PATH] = {};
        if (GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr) == 0 ||
            GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
            say(L"no such file: ", file);
            return 1;
        }
        fullPaths.emplace_back(full);
    }
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    const MouseDragResult drag = dragWithMouse(fileDropData(fullPaths).Get(), DROPEFFECT_COPY, centreOf(widget));
    OleUninitialize();
    if (drag.result != DRAGDROP_S_DROP || drag.effect == DROPEFFECT_NONE) {
        say(L"the widget did not take the files ", drag.trouble);
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::vector<std::wstring> words(argv + 1, argv + argc);
    if (words.size() == 1 && words[0] == L"double-click")
        return doubleClick();
    if (words.size() >= 2 && words[0] == L"drop")
        return drop({words.begin() + 1, words.end()});
    say(L"usage: peltorine_user.exe double-click | drop FILE...");
    return 1;
}
