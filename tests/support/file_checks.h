#pragma once
// Runners for the checks of dropped or chosen pictures, for tests that must say when a check
// runs or ends:
//
//     HeldFileChecks checks;             // holds every check until the test runs it
//     WallpaperWorld world(&checks);
//     world.engine.applyFileList({a, b});
//     checks.runAll();                    // on the test's thread, the oldest first
//     world.engine.takeFileCheck();
//
// GatedFileChecks runs each check on a thread of its own, as the program does, but makes it wait
// at a gate until the test opens it: a check stuck on a share that does not answer.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <utility>

#include "platform/unique_handle.h"
#include "wallpaper/file_list_checker.h"

class HeldFileChecks final : public FileCheckRunner {
public:
    HRESULT run(FileCheckJob job) noexcept override
    {
        try {
            jobs.push_back(std::move(job));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    void shutdown() noexcept override { jobs.clear(); }

    void runOldest()
    {
        FileCheckJob job = std::move(jobs.front());
        jobs.pop_front();
        job();
    }
    void runNewest()
    {
        FileCheckJob job = std::move(jobs.back());
        jobs.pop_back();
        job();
    }
    void runAll()
    {
        while (!jobs.empty())
            runOldest();
    }

    std::deque<FileCheckJob> jobs;
};

class GatedFileChecks final : public FileCheckRunner {
public:
    GatedFileChecks() : gate_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~GatedFileChecks()
    {
        open();
        threads.shutdown();
    }
    GatedFileChecks(const GatedFileChecks&) = delete;
    GatedFileChecks& operator=(const GatedFileChecks&) = delete;

    HRESULT run(FileCheckJob job) noexcept override
    {
        const HANDLE gate = gate_.get();
        return threads.run([this, gate, job = std::move(job)] {
            checkingThread = GetCurrentThreadId();
            WaitForSingleObject(gate, INFINITE);
            job();
        });
    }
    void shutdown() noexcept override { threads.shutdown(); }
    void open() { SetEvent(gate_.get()); }

    // The thread the last check ran on.
    std::atomic<DWORD> checkingThread{0};

private:
    UniqueKernelHandle gate_;

public:
    // Goes first, so that its threads end before the gate does.
    ThreadFileCheckRunner threads;
};

// An event for a check's wake-up: set from the checking thread, waited for by the test.
class FinishedEvent {
public:
    FinishedEvent() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    std::function<void()> setter() const
    {
        const HANDLE event = event_.get();
        return [event] { SetEvent(event); };
    }
    // True once set; the limit only keeps a broken build from hanging the run.
    bool wait() const { return WaitForSingleObject(event_.get(), 30000) == WAIT_OBJECT_0; }

private:
    UniqueKernelHandle event_;
};
