#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/system_services.h"
#include "platform/unique_handle.h"

inline constexpr UINT kTrayIconId = 1;

// The icon in the notification area: its handle, whether the taskbar has it, and the
// balloons. It adds itself again when a restarted taskbar broadcasts "TaskbarCreated".
class TrayIcon {
public:
    TrayIcon(SystemServices& system, HINSTANCE instance) noexcept : system_(&system), instance_(instance) {}
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { remove(); }

    // Remembers the window that receives callbackMessage for the icon's events and adds the
    // icon; call again to add it once more.
    void add(HWND window, UINT callbackMessage) noexcept;
    void remove() noexcept;
    // True when message is the taskbar's restart broadcast; the icon is then added again.
    bool handleTaskbarCreated(UINT message) noexcept;
    // A balloon with the product name as its title; a warning for a failure code.
    void showBalloon(const std::wstring& text, HRESULT code) noexcept;

    [[nodiscard]] bool added() const noexcept { return added_; }
    [[nodiscard]] UINT taskbarCreatedMessage() const noexcept { return taskbarCreatedMessage_; }

private:
    [[nodiscard]] NOTIFYICONDATAW iconData() const noexcept;

    SystemServices* system_;
    HINSTANCE instance_;
    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    UINT taskbarCreatedMessage_ = 0;
    UniqueIcon icon_;
    bool added_ = false;
};
