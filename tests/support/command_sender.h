#pragma once
// The sending side of the command message, in the test process: a window that sends a command
// to a control window and keeps the answer.
//
//     CommandSender sender;
//     ASSERT_EQ(TRUE, sender.send(app.controlWindow(), request));
//     EXPECT_EQ(kCommandSucceeded, sender.reply->exitCode);
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/command_line.h"
#include "platform/unique_handle.h"
#include "platform/window_thunk.h"

class CommandSender {
public:
    CommandSender()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = windowThunk<CommandSender>;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PeltorineTests.CommandSender";
        RegisterClassW(&windowClass);
        window_.reset(CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), this));
    }
    ~CommandSender()
    {
        window_.reset();
        UnregisterClassW(L"PeltorineTests.CommandSender", GetModuleHandleW(nullptr));
    }

    // What the control window answered to the message itself (TRUE: taken).
    LRESULT send(HWND control, const std::vector<std::uint8_t>& bytes, ULONG_PTR tag = kCommandRequestTag)
    {
        reply.reset();
        COPYDATASTRUCT data{tag, static_cast<DWORD>(bytes.size()), const_cast<std::uint8_t*>(bytes.data())};
        return SendMessageW(control, WM_COPYDATA, reinterpret_cast<WPARAM>(window_.get()),
                            reinterpret_cast<LPARAM>(&data));
    }
    LRESULT send(HWND control, const CommandRequest& request) { return send(control, encodeCommandRequest(request)); }

    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        if (message != WM_COPYDATA)
            return DefWindowProcW(window, message, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData == kCommandReplyTag)
            reply = decodeCommandReply(data->lpData, data->cbData);
        return TRUE;
    }

    std::optional<CommandReply> reply;

private:
    UniqueWindow window_;
};
