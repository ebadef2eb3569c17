#include "tests/support/windowed_world.h"

#include <objbase.h>
#include <wincodec.h>

#include "tests/support/command_sender.h"
#include "tests/support/time_once_still.h"
#include "video/video_wallpaper.h"

namespace {

ApplicationSeams seamsOf(WindowedWorld& world, HINSTANCE resources)
{
    ApplicationSeams seams;
    seams.system = &world.system;
    seams.chooseFiles = [&world](HWND owner, bool forDefault, std::uint32_t language) {
        return world.chooseFiles ? world.chooseFiles(owner, forDefault, language) : std::vector<std::wstring>{};
    };
    seams.findVideoHost = [&world] { return world.findVideoHost ? world.findVideoHost() : findDesktopHost(true); };
    seams.startupFolder = world.startupFolder.path();
    seams.resources = resources;
    seams.fileChecks = &world.fileCheckSeam;
    seams.openVideo = [&world](VideoWallpaper& video, const std::wstring& path, double position) {
        return world.openVideo ? world.openVideo(video, path, position) : video.open(path, position);
    };
    return seams;
}

} // namespace

HRESULT WindowedWorld::FileChecks::run(FileCheckJob job) noexcept
{
    return (world_.fileChecks ? *world_.fileChecks : static_cast<FileCheckRunner&>(inline_)).run(std::move(job));
}

void WindowedWorld::FileChecks::shutdown() noexcept
{
    if (world_.fileChecks)
        world_.fileChecks->shutdown();
}

WindowedWorld::WindowedWorld(bool start, HINSTANCE resources)
    : app(GetModuleHandleW(nullptr), seamsOf(*this, resources))
{
    fake->addDisplay(L"\\\\?\\DISPLAY#1", {0, 0, 1920, 1080}, L"C:\\old.jpg");
    if (start)
        this->start();
}

HRESULT WindowedWorld::start(bool withWindows)
{
    started = ole.result();
    Microsoft::WRL::ComPtr<IWICImagingFactory> imaging;
    if (SUCCEEDED(started))
        started = CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imaging));
    if (SUCCEEDED(started)) {
        app.useComObjects(fake, imaging);
        started = app.loadSettingsFrom(folder.path());
    }
    if (SUCCEEDED(started) && withWindows)
        started = app.initializeWindows();
    system.timerEvents.clear();
    return started;
}

std::optional<std::wstring> WindowedWorld::setting(const wchar_t* key) const
{
    constexpr const wchar_t* kMissing = L"\x1F(missing)";
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Peltorine", key, kMissing, value, 512, settingsFile().c_str());
    if (std::wstring(value) == kMissing)
        return std::nullopt;
    return std::wstring(value);
}

void WindowedWorld::fireTimer(UINT_PTR id)
{
    SendMessageW(app.controlWindow(), WM_TIMER, id, 0);
}

// A shown video pauses, as the user's pause command would have it, and rests before it goes:
// Wine's engine can deadlock when it is shut down while it hands over frames.
WindowedWorld::~WindowedWorld()
{
    if (app.controlWindow() && app.video().showing()) {
        CommandRequest pause;
        pause.kind = CommandKind::Pause;
        CommandSender sender;
        if (sender.send(app.controlWindow(), pause) && app.video().userPaused())
            (void)timeOnceStill([this] { return app.video().activeTime(); });
    }
    app.shutdown();
}
