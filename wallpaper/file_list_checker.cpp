#include "wallpaper/file_list_checker.h"

#include "platform/win32_error.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

// What the interface thread and its checks share; a check keeps it alive for as long as it runs,
// so a check that outlives the checker touches nothing that is gone.
struct FileListChecker::Shared {
    // The newest request: a check of an older one has been cancelled.
    std::atomic<std::uint64_t> newest{0};
    std::mutex mutex;
    std::uint64_t resultOf = 0;
    std::optional<FileListCheck> result;
    std::function<void()> finished; // empty once the checker is closed
};

namespace {

DWORD WINAPI runJobThread(void* parameter) noexcept
{
    std::unique_ptr<FileCheckJob> job(static_cast<FileCheckJob*>(parameter));
    // The multithreaded apartment: nothing on this thread pumps messages.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (*job)();
    job.reset();
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

} // namespace

HRESULT InlineFileCheckRunner::run(FileCheckJob job) noexcept
{
    job();
    return S_OK;
}

ThreadFileCheckRunner::~ThreadFileCheckRunner()
{
    shutdown();
}

HRESULT ThreadFileCheckRunner::run(FileCheckJob job) noexcept
{
    forgetEnded();
    try {
        threads_.reserve(threads_.size() + 1);
        auto owned = std::make_unique<FileCheckJob>(std::move(job));
        UniqueKernelHandle thread(CreateThread(nullptr, 0, runJobThread, owned.get(), 0, nullptr));
        if (!thread)
            return failureFromLastError();
        (void)owned.release();
        threads_.push_back(std::move(thread));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ThreadFileCheckRunner::shutdown() noexcept
{
    for (const UniqueKernelHandle& thread : threads_)
        CancelSynchronousIo(thread.get());
    const ULONGLONG deadline = GetTickCount64() + kShutdownWaitMs;
    for (const UniqueKernelHandle& thread : threads_) {
        const ULONGLONG now = GetTickCount64();
        WaitForSingleObject(thread.get(), now < deadline ? static_cast<DWORD>(deadline - now) : 0);
    }
    threads_.clear();
}

std::size_t ThreadFileCheckRunner::running() noexcept
{
    forgetEnded();
    return threads_.size();
}

void ThreadFileCheckRunner::forgetEnded() noexcept
{
    threads_.erase(std::remove_if(threads_.begin(), threads_.end(),
                                  [](const UniqueKernelHandle& thread) {
                                      return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
                                  }),
                   threads_.end());
}

// With a WIC factory of the checking thread's own: the interface thread's is not shared.
void FileListChecker::runCheck(const std::shared_ptr<Shared>& shared, std::uint64_t generation,
                               std::vector<std::wstring> paths) noexcept
{
    const auto cancelled = [&shared, generation] { return shared->newest.load() != generation; };
    if (cancelled())
        return;
    FileListCheck check;
    try {
        Microsoft::WRL::ComPtr<IWICImagingFactory> imaging;
        if (const HRESULT hr =
                CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&imaging));
            FAILED(hr))
            check.code = hr;
        else
            check = prepareFileList(*imaging.Get(), std::move(paths), cancelled);
    } catch (...) {
        check = FileListCheck{};
        check.code = E_OUTOFMEMORY;
    }

    const std::lock_guard lock(shared->mutex);
    if (cancelled())
        return;
    shared->result = std::move(check);
    shared->resultOf = generation;
    if (shared->finished)
        shared->finished();
}

FileListChecker::FileListChecker(FileCheckRunner& runner, std::function<void()> finished) noexcept
    : runner_(runner), finished_(std::move(finished))
{
}

FileListChecker::~FileListChecker()
{
    close();
}

HRESULT FileListChecker::start(std::vector<std::wstring> paths) noexcept
{
    if (closed_)
        return E_ABORT;
    cancel();
    try {
        if (!shared_) {
            shared_ = std::make_shared<Shared>();
            shared_->finished = finished_;
        }
        const std::uint64_t generation = ++shared_->newest;
        FileCheckJob job = [shared = shared_, generation, paths = std::move(paths)]() mutable noexcept {
            runCheck(shared, generation, std::move(paths));
        };
        // Set first: a runner may finish the check before run returns.
        checking_ = true;
        if (const HRESULT hr = runner_.run(std::move(job)); FAILED(hr)) {
            cancel();
            return hr;
        }
        return S_OK;
    } catch (...) {
        cancel();
        return E_OUTOFMEMORY;
    }
}

void FileListChecker::cancel() noexcept
{
    checking_ = false;
    if (!shared_)
        return;
    ++shared_->newest;
    const std::lock_guard lock(shared_->mutex);
    shared_->result.reset();
}

std::optional<FileListCheck> FileListChecker::take() noexcept
{
    if (!checking_ || !shared_)
        return std::nullopt;
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->result || shared_->resultOf != shared_->newest.load())
        return std::nullopt;
    std::optional<FileListCheck> check = std::move(shared_->result);
    shared_->result.reset();
    checking_ = false;
    return check;
}

void FileListChecker::close() noexcept
{
    cancel();
    closed_ = true;
    if (!shared_)
        return;
    const std::lock_guard lock(shared_->mutex);
    shared_->finished = nullptr;
}
