#pragma once
// Why the shown video is not playing. Any one reason pauses it; it plays again once none holds.
// The user's pause and the covering windows belong to the shown video; the session and power
// reasons belong to the system and outlast any one video.
#include <cstdint>

enum PauseReason : std::uint32_t {
    PauseUser = 1u << 0,          // the pause command, until play or another wallpaper
    PauseCovered = 1u << 1,       // windows hide every display of the video
    PauseLocked = 1u << 2,        // the session is locked
    PauseDisconnected = 1u << 3,  // the session is disconnected from the console or remote
    PauseSuspended = 1u << 4,     // the system is going to sleep or has not resumed yet
    PauseDisplayOff = 1u << 5,    // the display is off
    PauseDisplayDimmed = 1u << 6, // the display is dimmed
    PauseBatterySaver = 1u << 7,  // battery saver is on
    PauseEnergySaver = 1u << 8,   // Energy Saver is on (Windows 11 24H2 and later)
};

// A set of PauseReason bits.
using PauseReasons = std::uint32_t;

inline constexpr PauseReasons kVideoPauseReasons = PauseUser | PauseCovered;
inline constexpr PauseReasons kSystemPauseReasons = PauseLocked | PauseDisconnected | PauseSuspended |
                                                    PauseDisplayOff | PauseDisplayDimmed | PauseBatterySaver |
                                                    PauseEnergySaver;

// Every reason, the most telling first: the order in which the status names them.
inline constexpr PauseReason kPauseReasonOrder[] = {PauseUser,       PauseLocked,        PauseDisconnected,
                                                    PauseSuspended,  PauseDisplayOff,    PauseDisplayDimmed,
                                                    PauseBatterySaver, PauseEnergySaver, PauseCovered};

// The reason's name in the status ("user", "covered", "locked", "display-off", ...).
[[nodiscard]] constexpr const wchar_t* pauseReasonName(PauseReason reason) noexcept
{
    switch (reason) {
    case PauseUser:
        return L"user";
    case PauseCovered:
        return L"covered";
    case PauseLocked:
        return L"locked";
    case PauseDisconnected:
        return L"disconnected";
    case PauseSuspended:
        return L"suspended";
    case PauseDisplayOff:
        return L"display-off";
    case PauseDisplayDimmed:
        return L"display-dimmed";
    case PauseBatterySaver:
        return L"battery-saver";
    case PauseEnergySaver:
        return L"energy-saver";
    }
    return L"unknown";
}
