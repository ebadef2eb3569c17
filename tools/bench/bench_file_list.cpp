// How long prepareFileList takes for large drops, and how much of it is the natural-order
// sort. Makes 100, 1,000 and 10,000 small PNG files in a temporary folder, hands them over
// in shuffled order, and prints the time per picture and the sort's share.

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "wallpaper/file_rules.h"

using Microsoft::WRL::ComPtr;

namespace {

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double milliseconds() const
    {
        LARGE_INTEGER now{}, frequency{};
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_{};
};

// A 32x32 gradient as PNG bytes, written by WIC's own encoder.
HRESULT encodeSamplePng(IWICImagingFactory& factory, std::vector<BYTE>& png)
{
    constexpr UINT size = 32;
    std::vector<BYTE> pixels(size * size * 4);
    for (UINT y = 0; y < size; ++y) {
        for (UINT x = 0; x < size; ++x) {
            BYTE* pixel = &pixels[(y * size + x) * 4];
            pixel[0] = static_cast<BYTE>(x * 8);
            pixel[1] = static_cast<BYTE>(y * 8);
            pixel[2] = 128;
            pixel[3] = 255;
        }
    }

    ComPtr<IStream> stream;
    if (const HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream); FAILED(hr))
        return hr;
    ComPtr<IWICBitmapEncoder> encoder;
    if (const HRESULT hr = factory.CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder); FAILED(hr))
        return hr;
    if (const HRESULT hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache); FAILED(hr))
        return hr;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (const HRESULT hr = encoder->CreateNewFrame(&frame, nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->Initialize(nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->SetSize(size, size); FAILED(hr))
        return hr;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (const HRESULT hr = frame->SetPixelFormat(&format); FAILED(hr))
        return hr;
    if (format != GUID_WICPixelFormat32bppBGRA)
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (const HRESULT hr = frame->WritePixels(size, size * 4, static_cast<UINT>(pixels.size()), pixels.data());
        FAILED(hr))
        return hr;
    if (const HRESULT hr = frame->Commit(); FAILED(hr))
        return hr;
    if (const HRESULT hr = encoder->Commit(); FAILED(hr))
        return hr;

    STATSTG stat{};
    if (const HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME); FAILED(hr))
        return hr;
    png.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
    const LARGE_INTEGER origin{};
    if (const HRESULT hr = stream->Seek(origin, STREAM_SEEK_SET, nullptr); FAILED(hr))
        return hr;
    ULONG read = 0;
    return stream->Read(png.data(), static_cast<ULONG>(png.size()), &read);
}

bool writeFile(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// Pictures on disk for one run, deleted with the object.
struct PictureSet {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> paths;

    PictureSet() = default;
    PictureSet(const PictureSet&) = delete;
    PictureSet& operator=(const PictureSet&) = delete;
    ~PictureSet()
    {
        for (const std::wstring& path : paths)
            DeleteFileW(path.c_str());
        for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
            RemoveDirectoryW(folder->c_str());
    }
};

// Names as cameras and people mix them, numbered 1..count, in shuffled order. Wine looks
// through the whole folder for a name differing only in case before it creates a file, so
// the files are spread over folders of 250 to keep making 10,000 of them quick; the folders
// play no part in the order.
bool makePictures(const std::wstring& root, int count, const std::vector<BYTE>& png, PictureSet& set)
{
    constexpr int kPerFolder = 250;
    static const wchar_t* const kStems[] = {L"IMG_", L"photo ", L"Holiday-", L"scan"};
    set.folders.push_back(root);
    if (!CreateDirectoryW(root.c_str(), nullptr))
        return false;
    for (int i = 0; i < count; ++i) {
        if (i % kPerFolder == 0) {
            set.folders.push_back(root + L"\\part" + std::to_wstring(i / kPerFolder));
            if (!CreateDirectoryW(set.folders.back().c_str(), nullptr))
                return false;
        }
        set.paths.push_back(set.folders.back() + L"\\" + kStems[i % 4] + std::to_wstring(i + 1) + L".png");
    }
    std::mt19937 random(12345);
    std::shuffle(set.paths.begin(), set.paths.end(), random);
    return std::all_of(set.paths.begin(), set.paths.end(),
                       [&png](const std::wstring& path) { return writeFile(path, png); });
}

double bestSortMilliseconds(const std::vector<std::wstring>& input)
{
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        std::vector<std::wstring> paths = input;
        const Stopwatch watch;
        sortByNaturalName(paths);
        best = std::min(best, watch.milliseconds());
    }
    return best;
}

// Makes the pictures for each list size, times prepareFileList once and the sort alone.
int run(IWICImagingFactory& factory)
{
    std::vector<BYTE> png;
    if (const HRESULT hr = encodeSamplePng(factory, png); FAILED(hr)) {
        std::fprintf(stderr, "cannot encode a PNG (0x%08lX)\n", static_cast<unsigned long>(hr));
        return 1;
    }

    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring root =
        std::wstring(temp) + L"peltorine-bench-file-list-" + std::to_wstring(GetCurrentProcessId());

    std::printf(
        "prepareFileList over %zu-byte 32x32 PNG files with shuffled names "
        "(sort: sortByNaturalName alone, best of 5)\n",
        png.size());
    bool warmedUp = false;
    for (const int count : {100, 1000, 10000}) {
        PictureSet pictures;
        if (!makePictures(root, count, png, pictures)) {
            std::fprintf(stderr, "cannot write %d pictures under %ls\n", count, root.c_str());
            return 1;
        }
        if (!warmedUp) {
            // The first pass loads the decoders and warms Wine's file lookups; that is start-up,
            // not per-picture cost.
            (void)prepareFileList(factory, pictures.paths);
            warmedUp = true;
        }

        const Stopwatch watch;
        const FileListCheck check = prepareFileList(factory, pictures.paths);
        const double total = watch.milliseconds();
        if (FAILED(check.code) || check.paths.size() != pictures.paths.size()) {
            std::fprintf(stderr, "prepareFileList failed (0x%08lX)\n", static_cast<unsigned long>(check.code));
            return 1;
        }
        const double sort = bestSortMilliseconds(pictures.paths);
        std::printf("  %6d pictures: %9.1f ms total, %7.1f us per picture; sort %7.2f ms (%4.1f %% of the total)\n",
                    count, total, total * 1000.0 / count, sort, total > 0 ? sort * 100.0 / total : 0.0);
    }
    return 0;
}

} // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int exitCode = 1;
    {
        ComPtr<IWICImagingFactory> factory;
        if (SUCCEEDED(
                CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
            exitCode = run(*factory.Get());
        else
            std::fprintf(stderr, "cannot create the imaging factory\n");
    }
    CoUninitialize();
    return exitCode;
}
