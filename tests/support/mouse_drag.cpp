#include "tests/support/mouse_drag.h"

#include <ole2.h>

#include "platform/com_object.h"
#include "platform/unique_handle.h"

namespace {

constexpr POINT kStart{60, 60};

// Moves the pointer step by step towards the target while the drag loop asks whether to go
// on, then lets the button go; the next question after that ends the drag with a drop.
class ScriptedDropSource final : public ComObject<IDropSource> {
public:
    explicit ScriptedDropSource(POINT to) : to_(to) {}

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keyState) noexcept override
    {
        if (escape || ++questions_ > kMostQuestions) {
            sendMouseInput(MOUSEEVENTF_LEFTUP, to_);
            return DRAGDROP_S_CANCEL;
        }
        if ((keyState & MK_LBUTTON) == 0)
            return DRAGDROP_S_DROP;
        if (step_ < kSteps) {
            ++step_;
            const POINT next{kStart.x + (to_.x - kStart.x) * step_ / kSteps,
                             kStart.y + (to_.y - kStart.y) * step_ / kSteps};
            sendMouseInput(MOUSEEVENTF_MOVE, next);
        } else if (!released_) {
            POINT cursor{};
            if (!GetCursorPos(&cursor) || cursor.x != to_.x || cursor.y != to_.y) {
                // The move did not hold (see movePointerTo): send it again.
                sendMouseInput(MOUSEEVENTF_MOVE, to_);
                return S_OK;
            }
            // Messages queued before the last move still carry older pointer positions:
            // let go once the target has answered over it, or after a while if it refuses.
            ++restingQuestions_;
            if ((acceptedOverTarget_ && restingQuestions_ >= kRestingQuestions) ||
                restingQuestions_ >= kRefusedQuestions) {
                released_ = true;
                sendMouseInput(MOUSEEVENTF_LEFTUP, to_);
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) noexcept override
    {
        POINT cursor{};
        if (step_ == kSteps && effect != DROPEFFECT_NONE && GetCursorPos(&cursor) && cursor.x == to_.x &&
            cursor.y == to_.y)
            acceptedOverTarget_ = true;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

private:
    static constexpr int kSteps = 4;
    static constexpr int kRestingQuestions = 2;
    static constexpr int kRefusedQuestions = 20;
    static constexpr int kMostQuestions = 2000;

    POINT to_;
    int step_ = 0;
    int restingQuestions_ = 0;
    bool acceptedOverTarget_ = false;
    bool released_ = false;
    int questions_ = 0;
};

// Moves the pointer to `point`, pumping this thread's messages until it is there. Under
// Wine on X the first moves of a process can be undone by the X pointer's own position, so
// the move is sent again until it holds.
bool movePointerTo(POINT point)
{
    const DWORD deadline = GetTickCount() + 5000;
    for (int attempt = 0; GetTickCount() < deadline; ++attempt) {
        if (attempt % 10 == 0)
            sendMouseInput(MOUSEEVENTF_MOVE, point);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        POINT cursor{};
        if (GetCursorPos(&cursor) && cursor.x == point.x && cursor.y == point.y)
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

bool waitForPress(HWND window)
{
    const DWORD deadline = GetTickCount() + 1500;
    while (GetTickCount() < deadline) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool press = message.message == WM_LBUTTONDOWN && message.hwnd == window;
            DispatchMessageW(&message);
            if (press)
                return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

} // namespace

MouseDragResult dragWithMouse(IDataObject* data, DWORD allowedEffects, POINT to)
{
    MouseDragResult outcome;
    // The press lands on a window of ours, as it would on a file in a file manager (a static
    // control lets the mouse through unless it has SS_NOTIFY).
    const HWND start =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP | WS_VISIBLE | SS_NOTIFY,
                        kStart.x - 20, kStart.y - 20, 40, 40, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!start)
        return outcome;
    // Nothing of this thread may hold the mouse, and no button may be left down.
    ReleaseCapture();
    sendMouseInput(MOUSEEVENTF_LEFTUP, kStart);
    // The press goes where the pointer is when it is handled, so it waits for the move; a
    // press lost the same way as a move is tried again.
    for (int attempt = 0; attempt < 3 && !outcome.pressed; ++attempt) {
        if (attempt > 0)
            sendMouseInput(MOUSEEVENTF_LEFTUP, kStart);
        if (!movePointerTo(kStart)) {
            POINT cursor{};
            GetCursorPos(&cursor);
            outcome.trouble +=
                L"pointer stuck at " + std::to_wstring(cursor.x) + L"," + std::to_wstring(cursor.y) + L"; ";
            continue;
        }
        sendMouseInput(MOUSEEVENTF_LEFTDOWN, kStart);
        outcome.pressed = waitForPress(start);
        if (!outcome.pressed) {
            wchar_t name[64] = {};
            const HWND under = WindowFromPoint(kStart);
            GetClassNameW(under, name, 64);
            outcome.trouble += L"no press; under the pointer: " + std::wstring(name) +
                               (GetCapture() ? L", capture held" : L"") + L"; ";
        }
    }
    if (outcome.pressed) {
        const auto source = adoptReference<IDropSource>(new ScriptedDropSource(to));
        outcome.result = DoDragDrop(data, source.Get(), allowedEffects, &outcome.effect);
    } else {
        sendMouseInput(MOUSEEVENTF_LEFTUP, kStart);
    }
    DestroyWindow(start);
    return outcome;
}

void sendMouseInput(DWORD flags, POINT point)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x - left, 65535, width - 1);
    input.mi.dy = MulDiv(point.y - top, 65535, height - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &input, sizeof(input));
}
