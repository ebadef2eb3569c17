// The shell's file-open dialog, shown for real and answered the way a user would: the test
// watches its own thread for the dialog window, reads what the dialog shows, types into the
// file-name box and presses Open or Cancel.
//
// The controls are found the way Wine 8 lays the dialog out: a "ComboBox" holds the file
// types, an "Edit" the file name, and a "SysListView32" lists the folder (with
// LVS_SINGLESEL unless several files may be chosen). A message box owned by the dialog
// refuses names of files that do not exist.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"
#include "common/strings.h"
#include "wallpaper/file_picker.h"

namespace {

constexpr UINT kDialogCreatedMessage = WM_APP + 1; // lParam: the new dialog-class window
constexpr UINT kFolderOpenedMessage = WM_APP + 2;
constexpr UINT kMessageBoxClosingMessage = WM_APP + 3;
constexpr UINT_PTR kWatchdogTimer = 1;
// Only ends a run that went wrong, so that a broken dialog fails the test instead of hanging it.
constexpr UINT kWatchdogMs = 60000;

std::wstring classOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring textOf(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Visible descendants of parent of one window class, in z-order.
std::vector<HWND> visibleChildren(HWND parent, const wchar_t* className)
{
    struct Search {
        const wchar_t* className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM context) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(context);
            if (IsWindowVisible(window) && classOf(window) == search.className)
                search.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::wstring> comboItems(HWND combo)
{
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        std::wstring item(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
        item.resize(wcslen(item.c_str()));
        items.push_back(item);
    }
    return items;
}

std::vector<std::wstring> listItems(HWND list)
{
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        wchar_t text[MAX_PATH] = {};
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        items.emplace_back(text);
    }
    std::sort(items.begin(), items.end());
    return items;
}

// Plays the user at the one file dialog that the calling thread shows next. Make one,
// set what to type, call chooseFiles, then look at what was seen.
class DialogUser {
public:
    // Typed and confirmed first, so that the list shows what the filter lets through.
    std::wstring folderToOpen;
    // Typed and confirmed to choose; empty presses Cancel. A refusal is answered with OK
    // and then Cancel.
    std::wstring fileNames;

    // What the dialog showed.
    bool dialogSeen = false;
    HWND dialogOwner = nullptr;
    std::wstring title;
    std::vector<std::wstring> fileTypes;
    bool singleSelection = false;
    std::vector<std::wstring> listedFiles; // sorted; filled when folderToOpen is set
    bool refused = false;                  // a message box owned by the dialog appeared
    std::wstring refusalText;
    bool watchdogFired = false;

    DialogUser()
    {
        static const ATOM windowClass = [] {
            WNDCLASSW type{};
            type.lpfnWndProc = windowProc;
            type.hInstance = GetModuleHandleW(nullptr);
            type.lpszClassName = L"Peltorine.Test.DialogUser";
            return RegisterClassW(&type);
        }();
        window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        current_ = window_;
        // Every window of this thread that is created from now on, the dialog included.
        hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, onWindowCreated,
                                GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
        SetTimer(window_, kWatchdogTimer, kWatchdogMs, nullptr);
    }
    ~DialogUser()
    {
        if (hook_)
            UnhookWinEvent(hook_);
        current_ = nullptr;
        DestroyWindow(window_);
    }
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;

    bool ready() const { return window_ && hook_; }

private:
    static void CALLBACK onWindowCreated(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD)
    {
        // Answered from the message loop, once the dialog has finished setting itself up.
        if (object == OBJID_WINDOW && current_ && classOf(window) == L"#32770" &&
            !(GetWindowLongW(window, GWL_STYLE) & WS_CHILD))
            PostMessageW(current_, kDialogCreatedMessage, 0, reinterpret_cast<LPARAM>(window));
    }

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<DialogUser*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self)
            return DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
        case kDialogCreatedMessage:
            self->onDialogWindow(reinterpret_cast<HWND>(lParam));
            return 0;
        case kFolderOpenedMessage:
            self->onFolderOpened();
            return 0;
        case kMessageBoxClosingMessage:
            self->onMessageBoxClosing();
            return 0;
        case WM_TIMER:
            self->onWatchdog();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void onDialogWindow(HWND window)
    {
        if (!IsWindow(window))
            return;
        if (!dialog_) {
            dialog_ = window;
            dialogSeen = true;
            dialogOwner = GetWindow(window, GW_OWNER);
            title = textOf(window);
            if (const auto combos = visibleChildren(window, L"ComboBox"); !combos.empty())
                fileTypes = comboItems(combos.front());
            if (const auto lists = visibleChildren(window, L"SysListView32"); !lists.empty())
                singleSelection = (GetWindowLongW(lists.front(), GWL_STYLE) & LVS_SINGLESEL) != 0;
            if (!folderToOpen.empty()) {
                type(folderToOpen);
                PostMessageW(window_, kFolderOpenedMessage, 0, 0);
                return;
            }
            answer();
        } else if (GetWindow(window, GW_OWNER) == dialog_) {
            refused = true;
            messageBox_ = window;
            for (HWND text : visibleChildren(window, L"Static"))
                refusalText += textOf(text);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            PostMessageW(window_, kMessageBoxClosingMessage, 0, 0);
        }
    }

    void onFolderOpened()
    {
        if (const auto lists = visibleChildren(dialog_, L"SysListView32"); !lists.empty())
            listedFiles = listItems(lists.front());
        answer();
    }

    void onMessageBoxClosing()
    {
        // The box goes away once its own loop has seen the OK; then the user gives up.
        if (IsWindow(messageBox_)) {
            PostMessageW(window_, kMessageBoxClosingMessage, 0, 0);
            return;
        }
        PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    }

    void onWatchdog()
    {
        KillTimer(window_, kWatchdogTimer);
        watchdogFired = true;
        if (IsWindow(messageBox_))
            PostMessageW(messageBox_, WM_COMMAND, IDOK, 0);
        if (IsWindow(dialog_))
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
    }

    void answer()
    {
        if (fileNames.empty()) {
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        type(fileNames);
    }

    // Types into the file-name box and presses Open.
    void type(const std::wstring& text)
    {
        const auto edits = visibleChildren(dialog_, L"Edit");
        if (edits.empty()) {
            PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        SetWindowTextW(edits.front(), text.c_str());
        PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }

    static inline HWND current_ = nullptr;
    HWND window_ = nullptr;
    HWINEVENTHOOK hook_ = nullptr;
    HWND dialog_ = nullptr;
    HWND messageBox_ = nullptr;
};

// Files with the names a user might meet next to the pictures.
class FilePickerTest : public ::testing::Test {
protected:
    FilePickerTest()
    {
        for (const wchar_t* name : {L"a.png", L"b.JPG", L"c.jpeg", L"d.mp4", L"e.gif", L"f.bmp", L"g.txt", L"h.mp4"})
            writeFileBytes(files / name, "content is not the picker's business");
        owner = CreateWindowExW(0, L"Static", L"Peltorine", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    ~FilePickerTest() override { DestroyWindow(owner); }

    std::wstring quoted(const std::vector<const wchar_t*>& names) const
    {
        std::wstring text;
        for (const wchar_t* name : names)
            text += (text.empty() ? L"\"" : L" \"") + (files / name) + L"\"";
        return text;
    }

    OleScope ole;
    TempFolder files;
    HWND owner = nullptr;
};

struct FormCase {
    const char* name;
    bool forDefault;
    std::uint32_t language;
    const wchar_t* title;
    const wchar_t* fileType;
    bool singleSelection;
    std::vector<std::wstring> listed; // what the filter shows of the test folder
};

void PrintTo(const FormCase& form, std::ostream* out)
{
    *out << form.name;
}

class FilePickerFormTest : public FilePickerTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(FilePickerFormTest, ShowsTheFormsTitleAndOneFilterAndCancelGivesNothing)
{
    const FormCase& form = GetParam();
    DialogUser user;
    ASSERT_TRUE(user.ready());
    user.folderToOpen = files.path();

    const std::vector<std::wstring> chosen = chooseFiles(owner, form.forDefault, form.language);

    ASSERT_FALSE(user.watchdogFired);
    ASSERT_TRUE(user.dialogSeen);
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(owner, user.dialogOwner);
    EXPECT_EQ(form.title, user.title);
    EXPECT_EQ(std::vector<std::wstring>{form.fileType}, user.fileTypes);
    EXPECT_EQ(form.singleSelection, user.singleSelection);
    EXPECT_EQ(form.listed, user.listedFiles);
    EXPECT_FALSE(user.refused);
}

INSTANTIATE_TEST_SUITE_P(Forms, FilePickerFormTest,
                         ::testing::Values(FormCase{"WallpaperEnglish",
                                                    false,
                                                    kEnglish,
                                                    L"Choose wallpaper",
                                                    L"Pictures or video",
                                                    false,
                                                    {L"a.png", L"b.JPG", L"c.jpeg", L"d.mp4", L"h.mp4"}},
                                           FormCase{"WallpaperVietnamese",
                                                    false,
                                                    kVietnamese,
                                                    L"Chọn hình nền",
                                                    L"Ảnh hoặc video",
                                                    false,
                                                    {L"a.png", L"b.JPG", L"c.jpeg", L"d.mp4", L"h.mp4"}},
                                           FormCase{"DefaultEnglish",
                                                    true,
                                                    kEnglish,
                                                    L"Choose default wallpaper",
                                                    L"Pictures (PNG, JPG, JPEG)",
                                                    true,
                                                    {L"a.png", L"b.JPG", L"c.jpeg"}},
                                           FormCase{"DefaultVietnamese",
                                                    true,
                                                    kVietnamese,
                                                    L"Chọn hình nền mặc định",
                                                    L"Ảnh (PNG, JPG, JPEG)",
                                                    true,
                                                    {L"a.png", L"b.JPG", L"c.jpeg"}}),
                         [](const ::testing::TestParamInfo<FormCase>& info) { return std::string(info.param.name); });

TEST_F(FilePickerTest, WallpaperFormReturnsEveryChosenFileInTheDialogsOrder)
{
    // Three pictures; two videos, which the picker does not judge (the caller refuses them).
    const std::vector<std::vector<const wchar_t*>> selections{{L"c.jpeg", L"a.png", L"b.JPG"}, {L"h.mp4", L"d.mp4"}};
    for (const auto& names : selections) {
        DialogUser user;
        ASSERT_TRUE(user.ready());
        user.fileNames = quoted(names);

        const std::vector<std::wstring> chosen = chooseFiles(owner, false, kEnglish);

        ASSERT_FALSE(user.watchdogFired);
        std::vector<std::wstring> expected;
        for (const wchar_t* name : names)
            expected.push_back(files / name);
        EXPECT_EQ(expected, chosen);
        EXPECT_FALSE(user.refused);
    }
}

TEST_F(FilePickerTest, DefaultFormReturnsOnePicture)
{
    // One name, and two names typed into the box: the default form still gives one path.
    for (const std::wstring& typed : {files / L"c.jpeg", quoted({L"c.jpeg", L"a.png"})}) {
        DialogUser user;
        ASSERT_TRUE(user.ready());
        user.fileNames = typed;

        const std::vector<std::wstring> chosen = chooseFiles(owner, true, kEnglish);

        ASSERT_FALSE(user.watchdogFired);
        EXPECT_EQ(std::vector<std::wstring>{files / L"c.jpeg"}, chosen) << typed;
    }
}

TEST_F(FilePickerTest, TheDialogItselfRefusesAFileThatDoesNotExist)
{
    for (const bool forDefault : {false, true}) {
        DialogUser user;
        ASSERT_TRUE(user.ready());
        user.fileNames = files / L"missing.png";

        const std::vector<std::wstring> chosen = chooseFiles(owner, forDefault, kEnglish);

        ASSERT_FALSE(user.watchdogFired);
        EXPECT_TRUE(user.refused) << "form " << forDefault;
        EXPECT_TRUE(chosen.empty());
    }
}

TEST_F(FilePickerTest, WithoutTheDialogObjectTheListIsEmpty)
{
    // A thread without COM cannot make the dialog object.
    std::vector<std::wstring> chosen{L"untouched"};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* context) -> DWORD {
            *static_cast<std::vector<std::wstring>*>(context) = chooseFiles(nullptr, false, kEnglish);
            return 0;
        },
        &chosen, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    CloseHandle(thread);
    EXPECT_TRUE(chosen.empty());
}

} // namespace
