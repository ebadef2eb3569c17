// Commands that another copy forwards from its command line: taken only from the same user's
// session, carried out as the menu and the widget would, and answered once their work is done.
#include "app/application.h"

#include <cwchar>
#include <string>

#include "peltorine_version.h"
#include "platform/process_identity.h"
#include "wallpaper/desktop.h"

namespace {

const wchar_t* modeName(WallpaperMode mode) noexcept
{
    switch (mode) {
    case ModeStill:
        return L"still";
    case ModeSlideshow:
        return L"slideshow";
    case ModeVideo:
        return L"video";
    default:
        return L"none";
    }
}

constexpr const wchar_t* kFitJsonNames[] = {L"center", L"tile", L"stretch", L"fit", L"fill", L"span"};

} // namespace

LRESULT Application::onCommandMessage(HWND sender, const COPYDATASTRUCT* data) noexcept
{
    if (!data || data->dwData != kCommandRequestTag || data->cbData > kMaxCommandMessageBytes)
        return FALSE;
    // One command at a time, and only from this user's own session.
    if (commandReplyWindow_ || !windowOfThisUsersSession(sender))
        return FALSE;
    std::optional<CommandRequest> request;
    try {
        request = decodeCommandRequest(data->lpData, data->cbData);
    } catch (...) {
        return FALSE;
    }
    if (!request || request->kind == CommandKind::Run || request->kind == CommandKind::Help)
        return FALSE;
    commandReplyWindow_ = sender;
    runCommand(*request);
    settleCommand();
    return TRUE;
}

void Application::runCommand(const CommandRequest& request) noexcept
{
    switch (request.kind) {
    case CommandKind::Set:
        runSetCommand(request);
        return;
    case CommandKind::Next:
        if (engine_->currentState().mode != ModeSlideshow)
            return refuseCommand(kNoSlideshowRunning);
        engine_->advanceSlideshow();
        return;
    case CommandKind::Undo:
        if (!engine_->undoEntry())
            return refuseCommand(kNothingToUndo);
        engine_->undoLastChange();
        return;
    case CommandKind::RestoreDefault:
        // A script gets an answer, never the file dialog.
        if (!engine_->defaultUsable())
            return refuseCommand(kNoDefaultWallpaper);
        engine_->showDefaultWallpaper();
        return;
    case CommandKind::Pause:
    case CommandKind::Play:
        if (FAILED(video_->setUserPaused(request.kind == CommandKind::Pause)))
            return refuseCommand(kNoVideoPlaying);
        return;
    case CommandKind::Status:
        try {
            finishCommand(kCommandSucceeded, statusJson());
        } catch (...) {
            finishCommand(kCommandRefused, L"");
        }
        return;
    case CommandKind::Exit:
        finishCommand(kCommandSucceeded, L"");
        PostQuitMessage(0);
        return;
    default:
        return;
    }
}

// As a drop on the widget; a fit or display given with it is remembered as the menu would.
void Application::runSetCommand(const CommandRequest& request) noexcept
{
    const bool oneDisplay = request.display.value_or(0) != 0;
    if (request.fit == FitSpan && (oneDisplay || (!request.display && !settings_.targetMonitor().empty())))
        return refuseCommand(kSpanNeedsAllDisplays);
    if (request.display) {
        std::wstring monitorId;
        if (oneDisplay) {
            const std::vector<DisplayWallpaper> displays = listDisplays(*desktopWallpaper_.Get());
            if (*request.display > displays.size())
                return refuseCommand(kNoSuchDisplay);
            monitorId = displays[*request.display - 1].monitorId;
        }
        if (const HRESULT hr = settings_.setTargetMonitor(monitorId); FAILED(hr))
            return reportSettingsResult(hr);
    }
    if (request.fit) {
        if (const HRESULT hr = settings_.setFitMode(*request.fit); FAILED(hr))
            return reportSettingsResult(hr);
    }
    applyFileList(request.files);
}

void Application::refuseCommand(const LocalizedText& message) noexcept
{
    finishCommand(kCommandRefused, text(message));
}

void Application::settleCommand() noexcept
{
    // A video still opening or a list of pictures still being checked answers later.
    if (commandReplyWindow_ && !video_->opening() && !engine_->checkingFiles())
        finishCommand(kCommandSucceeded, L"");
}

void Application::finishCommand(int exitCode, const std::wstring& answer) noexcept
{
    const HWND replyWindow = std::exchange(commandReplyWindow_, nullptr);
    if (!replyWindow)
        return;
    try {
        std::vector<std::uint8_t> bytes = encodeCommandReply(CommandReply{exitCode, answer});
        COPYDATASTRUCT data{kCommandReplyTag, static_cast<DWORD>(bytes.size()), bytes.data()};
        DWORD_PTR result = 0;
        // A command that gave up waiting is gone; nothing else waits for this.
        SendMessageTimeoutW(replyWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(controlWindow_.get()),
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG | SMTO_BLOCK, 5000, &result);
    } catch (...) {
    }
}

std::wstring Application::statusJson() const
{
    const WallpaperState& state = engine_->currentState();
    std::wstring files;
    for (const std::wstring& file : state.files)
        files += (files.empty() ? L"" : L", ") + jsonString(file);
    const FitMode fit = settings_.fitMode() >= FitCenter && settings_.fitMode() <= FitSpan ? settings_.fitMode()
                                                                                          : kDefaultFit;
    // Every reason that holds, the most telling first; pausedBecause names the first.
    std::wstring pausedBecause = L"null";
    std::wstring pauseReasons;
    if (video_->showing()) {
        for (const PauseReason reason : kPauseReasonOrder) {
            if ((video_->pauseReasons() & reason) == 0)
                continue;
            if (pauseReasons.empty())
                pausedBecause = jsonString(pauseReasonName(reason));
            pauseReasons += (pauseReasons.empty() ? L"" : L", ") + jsonString(pauseReasonName(reason));
        }
    }

    wchar_t version[32] = {};
    swprintf(version, 32, L"%d.%d.%d", PELTORINE_VERSION_MAJOR, PELTORINE_VERSION_MINOR, PELTORINE_VERSION_PATCH);
    std::wstring json = L"{\"version\": " + jsonString(version);
    json += L", \"mode\": " + jsonString(modeName(state.mode));
    json += L", \"files\": [" + files + L"]";
    json += L", \"fit\": " + jsonString(kFitJsonNames[fit]);
    json += L", \"display\": " + jsonString(settings_.targetMonitor().empty() ? L"all" : settings_.targetMonitor());
    json += L", \"interval\": " + std::to_wstring(settings_.slideshowInterval());
    json += L", \"video\": {\"shown\": " + std::wstring(video_->showing() ? L"true" : L"false");
    json += L", \"opening\": " + std::wstring(video_->opening() ? L"true" : L"false");
    json += L", \"playing\": " + std::wstring(video_->playing() ? L"true" : L"false");
    json += L", \"pausedBecause\": " + pausedBecause;
    json += L", \"pauseReasons\": [" + pauseReasons + L"]}";
    json += L", \"widgetShown\": " + std::wstring(widget_.shown() ? L"true" : L"false") + L"}";
    return json;
}
