// The window-class owner: registered with the one thunk while an owner holds it, unregistered
// when the last owner goes, so that a later start in the same process registers it again.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/window_class.h"

namespace {

constexpr wchar_t kProbeClass[] = L"Peltorine.Test.WindowClass";

// An owner whose windows report their messages to it.
class Probe {
public:
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        messages.push_back(message);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT otherHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::vector<UINT> messages;
};

HINSTANCE module()
{
    return GetModuleHandleW(nullptr);
}

bool classExists()
{
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return GetClassInfoExW(module(), kProbeClass, &info) != FALSE;
}

WNDCLASSEXW classInfo()
{
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    GetClassInfoExW(module(), kProbeClass, &info);
    return info;
}

HWND createProbeWindow(Probe* probe)
{
    return CreateWindowExW(0, kProbeClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, module(), probe);
}

TEST(WindowClass, IsRegisteredWithTheThunkWhileItsOwnerLivesAndGoneAfter)
{
    ASSERT_FALSE(classExists());
    const HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
    {
        WindowClass<Probe> owner;
        EXPECT_FALSE(owner.registered());
        ASSERT_EQ(S_OK, owner.registerClass(module(), {kProbeClass, CS_DBLCLKS, cross}));
        EXPECT_TRUE(owner.registered());
        EXPECT_STREQ(kProbeClass, owner.name());
        const WNDCLASSEXW info = classInfo();
        EXPECT_EQ(static_cast<WNDPROC>(windowThunk<Probe>), info.lpfnWndProc);
        EXPECT_EQ(static_cast<UINT>(CS_DBLCLKS), info.style);
        EXPECT_EQ(cross, info.hCursor);
        // Asked again, the owner keeps the one registration it has.
        EXPECT_EQ(S_OK, owner.registerClass(module(), {kProbeClass, CS_DBLCLKS, cross}));
    }
    EXPECT_FALSE(classExists());

    WindowClass<Probe> second;
    EXPECT_EQ(S_OK, second.registerClass(module(), {kProbeClass}));
    EXPECT_TRUE(classExists());
    second.unregisterClass();
    EXPECT_FALSE(second.registered());
    EXPECT_FALSE(classExists());
}

TEST(WindowClass, ItsWindowsReachTheOwnerThatCreatedThem)
{
    WindowClass<Probe> owner;
    ASSERT_EQ(S_OK, owner.registerClass(module(), {kProbeClass}));
    Probe probe;
    const HWND window = createProbeWindow(&probe);
    ASSERT_NE(nullptr, window);
    ASSERT_FALSE(probe.messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), probe.messages.front());
    DestroyWindow(window);
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), probe.messages.back());
}

TEST(WindowClass, OwnersOfOneHandlerShareTheClassUntilTheLastGoes)
{
    auto first = std::make_unique<WindowClass<Probe>>();
    WindowClass<Probe> second;
    ASSERT_EQ(S_OK, first->registerClass(module(), {kProbeClass}));
    ASSERT_EQ(S_OK, second.registerClass(module(), {kProbeClass}));
    first.reset();
    EXPECT_TRUE(classExists());
    Probe probe;
    const HWND window = createProbeWindow(&probe);
    EXPECT_NE(nullptr, window);
    DestroyWindow(window);
    second.unregisterClass();
    EXPECT_FALSE(classExists());
}

TEST(WindowClass, AMovedOwnerHandsTheRegistrationOver)
{
    WindowClass<Probe> first;
    ASSERT_EQ(S_OK, first.registerClass(module(), {kProbeClass}));
    {
        WindowClass<Probe> second(std::move(first));
        EXPECT_FALSE(first.registered());
        EXPECT_TRUE(second.registered());
        first.unregisterClass();
        EXPECT_TRUE(classExists());
    }
    EXPECT_FALSE(classExists());
}

TEST(WindowClass, RefusesANameTakenWithAnotherProcedure)
{
    WindowClass<Probe> owner;
    ASSERT_EQ(S_OK, owner.registerClass(module(), {kProbeClass}));
    WindowClass<Probe, &Probe::otherHandler> other;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CLASS_ALREADY_EXISTS), other.registerClass(module(), {kProbeClass}));
    EXPECT_FALSE(other.registered());
    owner.unregisterClass();
    EXPECT_FALSE(classExists());

    // A class registered by hand is not ours to take over.
    WNDCLASSW manual{};
    manual.lpfnWndProc = DefWindowProcW;
    manual.hInstance = module();
    manual.lpszClassName = kProbeClass;
    ASSERT_NE(0, RegisterClassW(&manual));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_CLASS_ALREADY_EXISTS), owner.registerClass(module(), {kProbeClass}));
    EXPECT_FALSE(owner.registered());
    UnregisterClassW(kProbeClass, module());
}

// UnregisterClassW fails while a window of the class lives: the class stays, and the next
// owner takes it over and unregisters it at its end.
TEST(WindowClass, AClassThatOutlivedItsOwnerWithAWindowIsTakenOverByTheNext)
{
    Probe probe;
    HWND window = nullptr;
    {
        WindowClass<Probe> owner;
        ASSERT_EQ(S_OK, owner.registerClass(module(), {kProbeClass}));
        window = createProbeWindow(&probe);
        ASSERT_NE(nullptr, window);
    }
    EXPECT_TRUE(classExists());
    DestroyWindow(window);
    {
        WindowClass<Probe> next;
        EXPECT_EQ(S_OK, next.registerClass(module(), {kProbeClass}));
    }
    EXPECT_FALSE(classExists());
}

} // namespace
