#pragma once
// Checking a dropped or chosen list of pictures away from the interface thread: every picture is
// opened before anything changes, and 2,000 of them, or one on a share that does not answer, must
// not hold up the control window, the widget and the tray.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "wallpaper/file_rules.h"

// One check, callable once on any thread that has COM initialised.
using FileCheckJob = std::function<void()>;

// Where checks run. The program gives each check a thread of its own; tests hold the checks and
// run them when they say.
class FileCheckRunner {
public:
    [[nodiscard]] virtual HRESULT run(FileCheckJob job) noexcept = 0;
    // The program is going: no check runs any more, and those running are waited for.
    virtual void shutdown() noexcept = 0;

protected:
    ~FileCheckRunner() = default;
};

// Runs each check at once on the calling thread, as the engine did before checks moved off it.
class InlineFileCheckRunner final : public FileCheckRunner {
public:
    [[nodiscard]] HRESULT run(FileCheckJob job) noexcept override;
    void shutdown() noexcept override {}
};

// A thread per check, so that a check stuck on a share that does not answer never holds up the
// next one; an abandoned check ends at its next picture.
class ThreadFileCheckRunner final : public FileCheckRunner {
public:
    ThreadFileCheckRunner() = default;
    ~ThreadFileCheckRunner();
    ThreadFileCheckRunner(const ThreadFileCheckRunner&) = delete;
    ThreadFileCheckRunner& operator=(const ThreadFileCheckRunner&) = delete;

    [[nodiscard]] HRESULT run(FileCheckJob job) noexcept override;
    // Interrupts the file operations the running checks are blocked in, then waits for them. A
    // check that a share keeps longer than kShutdownWaitMs is left to end by itself: it holds
    // only its own references, never the program's objects.
    void shutdown() noexcept override;
    // Threads of checks that have not ended yet.
    [[nodiscard]] std::size_t running() noexcept;

    static constexpr DWORD kShutdownWaitMs = 2000;

private:
    void forgetEnded() noexcept;

    std::vector<UniqueKernelHandle> threads_;
};

// The newest check of the interface thread. A newer request cancels an older check; an older
// result that still arrives is dropped. finished is called, on the checking thread, when the
// newest check has a result to take; it must only post a wake-up (it runs under a lock).
class FileListChecker {
public:
    FileListChecker(FileCheckRunner& runner, std::function<void()> finished) noexcept;
    ~FileListChecker();
    FileListChecker(const FileListChecker&) = delete;
    FileListChecker& operator=(const FileListChecker&) = delete;

    // Checks a list of pictures with prepareFileList, on the runner.
    [[nodiscard]] HRESULT start(std::vector<std::wstring> paths) noexcept;
    void cancel() noexcept;
    // A check was started and its result not yet taken.
    [[nodiscard]] bool checking() const noexcept { return checking_; }
    // The result of the newest check, once it has one.
    [[nodiscard]] std::optional<FileListCheck> take() noexcept;
    // No check runs any more and finished is never called again.
    void close() noexcept;

private:
    struct Shared;
    // The body of one check, on the runner's thread.
    static void runCheck(const std::shared_ptr<Shared>& shared, std::uint64_t generation,
                         std::vector<std::wstring> paths) noexcept;

    FileCheckRunner& runner_;
    std::function<void()> finished_;
    std::shared_ptr<Shared> shared_;
    bool checking_ = false;
    bool closed_ = false;
};
