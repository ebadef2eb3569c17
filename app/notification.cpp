#include "app/application.h"

#include <cwchar>
#include <string>

// The one way every result and failure reaches the user: the widget's tooltip, a debugger
// line, the tray balloon, and a short flash of the widget for a failure.
void Application::showNotification(const std::wstring& message, HRESULT code) noexcept
{
    widget_.setWidgetTooltip(message);

    wchar_t number[16] = {};
    swprintf(number, 16, L"%lu", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    system_.debugOutput(std::wstring(L"Peltorine: ") + message + L" [" + number + L"]\n");

    // A command from the command line that failed answers with the same text.
    if (commandReplyWindow_ && code < 0)
        finishCommand(kCommandRefused, message);

    if (!trayIcon_.added())
        return;
    trayIcon_.showBalloon(message, code);

    if (code < 0 && widget_.window()) {
        widget_.setErrorFlash(true);
        system_.setTimer(controlWindow_.get(), ErrorFlashTimer, kErrorFlashMs);
    }
}
