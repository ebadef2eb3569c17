#include "tests/support/wallpaper_world.h"
#include "tests/support/temp_folder.h"

#include <cwchar>
#include <ostream>
#include <stdexcept>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

std::wstring number(long long value)
{
    wchar_t buffer[32] = {};
    swprintf(buffer, 32, L"%lld", value);
    return buffer;
}

void require(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw std::runtime_error(what);
}

} // namespace

PictureFolder::PictureFolder() : factory_(createImagingFactory()) {}

std::wstring PictureFolder::png(const std::wstring& name, COLORREF color)
{
    return write(name, GUID_ContainerFormatPng, color);
}

std::wstring PictureFolder::jpeg(const std::wstring& name, COLORREF color)
{
    return write(name, GUID_ContainerFormatJpeg, color);
}

std::wstring PictureFolder::garbage(const std::wstring& name)
{
    const std::wstring path = folder_ / name;
    writeFileBytes(path, "this is not a picture\r\n");
    return path;
}

std::wstring PictureFolder::write(const std::wstring& name, const GUID& container, COLORREF color)
{
    constexpr UINT kSide = 4;
    const std::wstring path = folder_ / name;

    ComPtr<IWICStream> stream;
    require(factory_->CreateStream(&stream), "CreateStream");
    require(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), "InitializeFromFilename");
    ComPtr<IWICBitmapEncoder> encoder;
    require(factory_->CreateEncoder(container, nullptr, &encoder), "CreateEncoder");
    require(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "encoder Initialize");
    ComPtr<IWICBitmapFrameEncode> frame;
    require(encoder->CreateNewFrame(&frame, nullptr), "CreateNewFrame");
    require(frame->Initialize(nullptr), "frame Initialize");
    require(frame->SetSize(kSide, kSide), "SetSize");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    require(frame->SetPixelFormat(&format), "SetPixelFormat");
    if (format != GUID_WICPixelFormat24bppBGR)
        throw std::runtime_error("the encoder wants another pixel format");

    std::vector<BYTE> pixels(kSide * kSide * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = GetBValue(color);
        pixels[i + 1] = GetGValue(color);
        pixels[i + 2] = GetRValue(color);
    }
    require(frame->WritePixels(kSide, kSide * 3, static_cast<UINT>(pixels.size()), pixels.data()), "WritePixels");
    require(frame->Commit(), "frame Commit");
    require(encoder->Commit(), "encoder Commit");
    return path;
}

Microsoft::WRL::ComPtr<IWICImagingFactory> createImagingFactory()
{
    Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
    require(CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
            "no WIC imaging factory");
    return factory;
}

WallpaperWorld::WallpaperWorld(FileCheckRunner* fileChecks, std::function<void()> fileCheckFinished)
    : engine(*fake.Get(), *imaging.Get(), settings, events, fileChecks, std::move(fileCheckFinished))
{
    require(ole.result(), "OleInitialize");
    // A settings file as the first start leaves it: the byte-order mark and nothing else.
    require(settings.prepare(folder.path()), "settings");
    settingsFile = settings.settingsPath();
    settings.read(kDefaultFit);
}

void RecordingWallpaperEvents::wallpaperNotify(const LocalizedText& text, HRESULT code,
                                               std::wstring_view suffix) noexcept
{
    notifications.push_back(notificationLine(std::wstring(text.english) + std::wstring(suffix), code));
}

HRESULT RecordingWallpaperEvents::openVideo(const WallpaperState& state, bool restoring,
                                            std::optional<COLORREF> background) noexcept
{
    openRequests.push_back({state, restoring, background});
    opening = SUCCEEDED(openResult);
    return openResult;
}

HRESULT RecordingWallpaperEvents::redrawVideo(FitMode fit, std::optional<COLORREF> background) noexcept
{
    redraws.emplace_back(fit, background);
    return redrawResult;
}

void RecordingWallpaperEvents::showCommittedVideo(bool ready, COLORREF background) noexcept
{
    committedVideos.emplace_back(ready, background);
    shown = ready;
}

std::optional<std::wstring> WallpaperWorld::setting(const wchar_t* key) const
{
    constexpr const wchar_t* kMissing = L"\x1F(missing)";
    wchar_t value[512] = {};
    GetPrivateProfileStringW(L"Peltorine", key, kMissing, value, 512, settingsFile.c_str());
    if (std::wstring(value) == kMissing)
        return std::nullopt;
    return std::wstring(value);
}

std::wstring notificationLine(const std::wstring& text, HRESULT code)
{
    wchar_t digits[16] = {};
    swprintf(digits, 16, L"%lu", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    return L"Peltorine: " + text + L" [" + digits + L"]\n";
}

std::wstring describe(const WallpaperState& state)
{
    std::wstring text = L"mode " + number(state.mode) + L", files [";
    for (size_t i = 0; i < state.files.size(); ++i)
        text += (i ? L", " : L"") + state.files[i];
    text += L"], monitor '" + state.monitor + L"', fit " + number(state.fit) + L", index " +
            number(static_cast<long long>(state.index)) + L", interval " + number(state.interval) + L", position " +
            number(static_cast<long long>(state.position * 1000)) + L" ms";
    return text;
}

std::wstring describe(const std::optional<UndoEntry>& entry)
{
    if (!entry)
        return L"(no undo entry)";
    const DesktopSnapshot& desktop = entry->desktop;
    std::wstring text = L"state {" + describe(entry->state) + L"}, desktop {";
    for (const DisplayWallpaper& display : desktop.displays)
        text += display.monitorId + L" = '" + display.wallpaper + L"'; ";
    text += L"position " + number(desktop.position) + L", colour " + number(desktop.backgroundColor) + L", enabled " +
            number(desktop.enabled) + L", slideshow [";
    for (const std::wstring& path : shellItemArrayPaths(desktop.slideshowItems.Get()))
        text += path + L"|";
    text += L"] options " + number(desktop.slideshowOptions) + L" tick " + number(desktop.slideshowTick) + L"}";
    return text;
}

WorldImage imageOf(const WallpaperWorld& world)
{
    WorldImage image;
    image.desktop = world.fake->state();
    image.state = describe(world.engine.currentState());
    image.undo = describe(world.engine.undoEntry());
    image.settings = world.settingsBytes();
    image.fitMode = world.settings.fitMode();
    image.slideshowInterval = world.settings.slideshowInterval();
    if (const UINT period = world.engine.slideshowPeriod(); period != 0)
        image.slideshowTimer = period;
    return image;
}

void PrintTo(const WorldImage& image, std::ostream* out)
{
    *out << "\n  desktop: ";
    PrintTo(image.desktop, out);
    *out << "\n  state: " << utf8(image.state) << "\n  undo: " << utf8(image.undo) << "\n  settings: "
         << utf8(std::wstring(reinterpret_cast<const wchar_t*>(image.settings.data()), image.settings.size() / 2))
         << "\n  fitMode " << image.fitMode << ", slideshowInterval " << image.slideshowInterval
         << ", timer 1: " << (image.slideshowTimer ? std::to_string(*image.slideshowTimer) : std::string("off"));
}
