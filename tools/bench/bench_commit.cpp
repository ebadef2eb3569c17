// How long a wallpaper commit and its undo take in the engine itself, for 1 to 8 displays.
// The shell's object is the in-process fake, so the figures are the engine's own cost:
// capturing the whole desktop, applying or restoring it, and the settings write of an undo.
// Prints the mean time per commit and per undo and how many shell calls each makes.

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/fake_desktop_wallpaper.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wallpaper_world.h"

namespace {

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double microseconds() const
    {
        LARGE_INTEGER now{}, frequency{};
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_{};
};

struct Figures {
    double commitMicroseconds = 0;
    double undoMicroseconds = 0;
    int commitCalls = 0;
    int undoCalls = 0;
};

// Alternates two pictures so that no commit finds its picture already shown.
bool measure(int displays, int rounds, const TempFolder& folder, Figures& figures)
{
    WallpaperWorld world;
    const auto& fake = world.fake;
    for (int i = 0; i < displays; ++i) {
        const RECT rect{i * 1920, 0, (i + 1) * 1920, 1080};
        fake->addDisplay(L"\\\\?\\DISPLAY#BENCH#" + std::to_wstring(i), rect, L"C:\\Windows\\Web\\old.jpg");
    }
    const std::wstring pictures[2] = {folder / L"first.png", folder / L"second.png"};

    double commitTotal = 0;
    double undoTotal = 0;
    for (int round = 0; round < rounds; ++round) {
        WallpaperState state;
        state.mode = ModeStill;
        state.files = {pictures[round % 2]};
        state.fit = round % 2 ? FitFit : FitFill;

        fake->clearCalls();
        const Stopwatch commitWatch;
        const HRESULT committed = world.engine.commitState(std::move(state), false);
        commitTotal += commitWatch.microseconds();
        figures.commitCalls = fake->totalCalls();

        fake->clearCalls();
        const Stopwatch undoWatch;
        world.engine.undoLastChange();
        undoTotal += undoWatch.microseconds();
        figures.undoCalls = fake->totalCalls();

        if (committed != S_OK || world.engine.undoEntry() || !world.notifications().empty()) {
            std::fprintf(stderr, "round %d with %d displays did not commit and undo cleanly (%ld)\n", round, displays,
                         static_cast<long>(committed));
            return false;
        }
    }
    figures.commitMicroseconds = commitTotal / rounds;
    figures.undoMicroseconds = undoTotal / rounds;
    return true;
}

} // namespace

int main()
{
    if (FAILED(OleInitialize(nullptr))) {
        std::fprintf(stderr, "OleInitialize failed\n");
        return 1;
    }
    int status = 0;
    {
        const TempFolder folder;
        // applyStillImage only asks whether the file exists; the shell reads it itself.
        writeFileBytes(folder / L"first.png", "first");
        writeFileBytes(folder / L"second.png", "second");

        constexpr int kRounds = 2000;
        Figures warmUp;
        (void)measure(1, 50, folder, warmUp);
        std::printf(
            "commitState of a still picture and its undo against the in-process fake shell object "
            "(mean of %d rounds)\n",
            kRounds);
        for (const int displays : {1, 2, 4, 8}) {
            Figures figures;
            if (!measure(displays, kRounds, folder, figures)) {
                status = 1;
                break;
            }
            std::printf("  %d display(s): commit %8.1f us (%3d shell calls), undo %8.1f us (%3d shell calls)\n",
                        displays, figures.commitMicroseconds, figures.commitCalls, figures.undoMicroseconds,
                        figures.undoCalls);
        }
    }
    OleUninitialize();
    return status;
}
