// The session and power notifications of the control window: registered once the window is
// there, unregistered before it goes, a refusal harmless, and what each message means for the
// video (the lifecycle keeps the reasons even while no video is shown).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/system_pauses.h"
#include "tests/support/recording_system.h"
#include "tests/support/windowed_world.h"

namespace {

using Registration = RecordingSystem::Registration;

// A POWERBROADCAST_SETTING with one DWORD of data, as the system sends it.
struct PowerSettingMessage {
    PowerSettingMessage(const GUID& setting, DWORD value)
    {
        POWERBROADCAST_SETTING& message = get();
        message.PowerSetting = setting;
        message.DataLength = sizeof(DWORD);
        std::memcpy(message.Data, &value, sizeof value);
    }
    POWERBROADCAST_SETTING& get() { return *reinterpret_cast<POWERBROADCAST_SETTING*>(bytes); }
    LPARAM lParam() const { return reinterpret_cast<LPARAM>(bytes); }

    alignas(POWERBROADCAST_SETTING) unsigned char bytes[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
};

std::vector<Registration::Kind> kindsOf(const std::vector<Registration>& registrations)
{
    std::vector<Registration::Kind> kinds;
    for (const Registration& registration : registrations)
        kinds.push_back(registration.kind);
    return kinds;
}

TEST(SystemNotifications, AreRegisteredWithTheControlWindowAndUnregisteredBeforeItGoes)
{
    WindowedWorld world(false);
    ASSERT_EQ(S_OK, world.start());
    const std::vector<Registration> started = world.system.registrations;
    ASSERT_EQ(kindsOf(started), (std::vector<Registration::Kind>{Registration::RegisterSession,
                                                                  Registration::RegisterPower,
                                                                  Registration::RegisterPower,
                                                                  Registration::RegisterPower}));
    for (const Registration& registration : started)
        EXPECT_TRUE(registration.windowAlive);
    EXPECT_EQ(started[1].setting, kConsoleDisplayStateSetting);
    EXPECT_EQ(started[2].setting, kPowerSavingStatusSetting);
    EXPECT_EQ(started[3].setting, kEnergySaverStatusSetting);

    world.system.registrations.clear();
    world.app.shutdown();
    const std::vector<Registration>& ended = world.system.registrations;
    ASSERT_EQ(kindsOf(ended), (std::vector<Registration::Kind>{Registration::UnregisterPower,
                                                                Registration::UnregisterPower,
                                                                Registration::UnregisterPower,
                                                                Registration::UnregisterSession}));
    EXPECT_EQ(ended[0].setting, kConsoleDisplayStateSetting);
    EXPECT_EQ(ended[1].setting, kPowerSavingStatusSetting);
    EXPECT_EQ(ended[2].setting, kEnergySaverStatusSetting);
    for (const Registration& registration : ended)
        EXPECT_TRUE(registration.windowAlive) << "unregistered after the window was destroyed";
    EXPECT_FALSE(IsWindow(world.app.controlWindow()));
}

TEST(SystemNotifications, ARefusedRegistrationDoesNotStopTheStartAndIsNotUnregistered)
{
    WindowedWorld world(false);
    world.system.sessionRegistrationResult = false;
    world.system.powerRegistrationResult = false;
    ASSERT_EQ(S_OK, world.start());
    EXPECT_TRUE(IsWindow(world.app.controlWindow()));
    world.system.registrations.clear();
    world.app.shutdown();
    EXPECT_TRUE(world.system.registrations.empty());
}

// The real registration functions, as far as this system has them: they may refuse, but the
// program starts and ends all the same.
TEST(SystemNotifications, TheSystemsOwnRegistrationsLetTheProgramStartAndEnd)
{
    SystemServices& system = SystemServices::standard();
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    const bool session = system.registerSessionNotification(window);
    const HPOWERNOTIFY display = system.registerPowerSetting(window, kConsoleDisplayStateSetting);
    if (display)
        system.unregisterPowerSetting(display);
    if (session)
        system.unregisterSessionNotification(window);
    DestroyWindow(window);
    RecordProperty("sessionRegistered", session ? "yes" : "no");
    RecordProperty("powerRegistered", display ? "yes" : "no");
}

struct MessageCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    std::optional<GUID> setting; // PBT_POWERSETTINGCHANGE: the setting, with value
    DWORD value;
    std::optional<PauseChange> change;
};

constexpr PauseReasons kDisplay = PauseDisplayOff | PauseDisplayDimmed;

const MessageCase kMessages[] = {
    {"Lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, {}, 0, PauseChange{PauseLocked, PauseLocked}},
    {"Unlock", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, {}, 0, PauseChange{PauseLocked, 0}},
    {"ConsoleDisconnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, {}, 0,
     PauseChange{PauseDisconnected, PauseDisconnected}},
    {"ConsoleConnect", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, {}, 0, PauseChange{PauseDisconnected, 0}},
    {"RemoteDisconnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, {}, 0,
     PauseChange{PauseDisconnected, PauseDisconnected}},
    {"RemoteConnect", WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, {}, 0, PauseChange{PauseDisconnected, 0}},
    {"Logon", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, {}, 0, std::nullopt},
    {"Suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, {}, 0, PauseChange{PauseSuspended, PauseSuspended}},
    {"ResumeAutomatic", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, {}, 0, PauseChange{PauseSuspended, 0}},
    {"ResumeSuspend", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, {}, 0, PauseChange{PauseSuspended, 0}},
    {"PowerStatusChange", WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, {}, 0, std::nullopt},
    {"DisplayOff", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kConsoleDisplayStateSetting, 0,
     PauseChange{kDisplay, PauseDisplayOff}},
    {"DisplayOn", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kConsoleDisplayStateSetting, 1, PauseChange{kDisplay, 0}},
    {"DisplayDimmed", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kConsoleDisplayStateSetting, 2,
     PauseChange{kDisplay, PauseDisplayDimmed}},
    {"DisplayUnknownState", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kConsoleDisplayStateSetting, 7, std::nullopt},
    {"BatterySaverOn", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kPowerSavingStatusSetting, 1,
     PauseChange{PauseBatterySaver, PauseBatterySaver}},
    {"BatterySaverOff", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kPowerSavingStatusSetting, 0,
     PauseChange{PauseBatterySaver, 0}},
    {"EnergySaverStandard", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kEnergySaverStatusSetting, 2,
     PauseChange{PauseEnergySaver, PauseEnergySaver}},
    {"EnergySaverHighSavings", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kEnergySaverStatusSetting, 3,
     PauseChange{PauseEnergySaver, PauseEnergySaver}},
    {"EnergySaverOff", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kEnergySaverStatusSetting, 1,
     PauseChange{PauseEnergySaver, 0}},
    {"EnergySaverUnknown", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, kEnergySaverStatusSetting, 0, std::nullopt},
    {"AnotherSetting", WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, GUID{0x1, 0x2, 0x3, {}}, 1, std::nullopt},
};

TEST(SystemNotifications, EachMessageSetsOrClearsItsReason)
{
    for (const MessageCase& test : kMessages) {
        std::optional<PauseChange> change;
        if (test.message == WM_WTSSESSION_CHANGE) {
            change = pauseChangeOfSession(test.wParam);
        } else if (test.setting) {
            const PowerSettingMessage message(*test.setting, test.value);
            change = pauseChangeOfPower(test.wParam, message.lParam());
        } else {
            change = pauseChangeOfPower(test.wParam, 0);
        }
        EXPECT_EQ(change, test.change) << test.name;
    }
}

TEST(SystemNotifications, ASettingWithoutItsValueChangesNothing)
{
    PowerSettingMessage message(kConsoleDisplayStateSetting, 0);
    message.get().DataLength = 2;
    EXPECT_EQ(pauseChangeOfPower(PBT_POWERSETTINGCHANGE, message.lParam()), std::nullopt);
    EXPECT_EQ(pauseChangeOfPower(PBT_POWERSETTINGCHANGE, 0), std::nullopt);
}

// The control window takes the messages; with no video shown, the reasons wait for the next one.
TEST(SystemNotifications, TheControlWindowKeepsTheReasonsForTheNextVideo)
{
    WindowedWorld world;
    ASSERT_EQ(S_OK, world.started);
    const HWND control = world.app.controlWindow();
    SendMessageW(control, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    EXPECT_EQ(TRUE, SendMessageW(control, WM_POWERBROADCAST, PBT_APMSUSPEND, 0));
    const PowerSettingMessage dimmed(kConsoleDisplayStateSetting, 2);
    EXPECT_EQ(TRUE, SendMessageW(control, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, dimmed.lParam()));
    EXPECT_EQ(world.app.video().pauseReasons(), PauseReasons{PauseLocked | PauseSuspended | PauseDisplayDimmed});
    EXPECT_FALSE(world.app.video().showing());
    EXPECT_FALSE(world.system.isArmed(VideoTimer));

    SendMessageW(control, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    SendMessageW(control, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    const PowerSettingMessage on(kConsoleDisplayStateSetting, 1);
    SendMessageW(control, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, on.lParam());
    EXPECT_EQ(world.app.video().pauseReasons(), PauseReasons{0});
}

} // namespace
