#pragma once
// What the session and power notifications of the control window mean for the video: which
// pause reasons a message sets or clears. Pure: a message's values in, a change out.
#include <windows.h>

#include <optional>

#include "video/pause_reasons.h"

// The power settings the control window follows, as Microsoft's list of power setting GUIDs
// gives them (mingw-w64's headers lack them).
// GUID_CONSOLE_DISPLAY_STATE: the display is off (0), on (1) or dimmed (2).
inline constexpr GUID kConsoleDisplayStateSetting{
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
// GUID_POWER_SAVING_STATUS: battery saver is off (0) or on (1).
inline constexpr GUID kPowerSavingStatusSetting{
    0xe00958c0, 0xc213, 0x4ace, {0xac, 0x77, 0xfe, 0xcc, 0xed, 0x2e, 0xee, 0xa5}};

// GUID_ENERGY_SAVER_STATUS: Energy Saver, which takes battery saver's place from Windows 11 24H2 on
// and may be on with the charger plugged in, as a SYSTEM_ENERGY_SAVER_STATUS: unknown (0), off (1),
// standard (2) or high savings (3). A system without it refuses the registration.
inline constexpr GUID kEnergySaverStatusSetting{
    0x550e8400, 0xe29b, 0x41d4, {0xa7, 0x16, 0x44, 0x66, 0x55, 0x44, 0x00, 0x00}};

inline constexpr const GUID* kFollowedPowerSettings[] = {&kConsoleDisplayStateSetting, &kPowerSavingStatusSetting,
                                                         &kEnergySaverStatusSetting};

// The reasons in `affected` hold afterwards when they are in `holding` too.
struct PauseChange {
    PauseReasons affected = 0;
    PauseReasons holding = 0;
    bool operator==(const PauseChange&) const = default;
};

// WM_WTSSESSION_CHANGE: lock and unlock, disconnect and connect (console or remote).
[[nodiscard]] std::optional<PauseChange> pauseChangeOfSession(WPARAM event) noexcept;
// WM_POWERBROADCAST: suspend and resume, and the followed power settings (lParam points to a
// POWERBROADCAST_SETTING for PBT_POWERSETTINGCHANGE).
[[nodiscard]] std::optional<PauseChange> pauseChangeOfPower(WPARAM event, LPARAM data) noexcept;
