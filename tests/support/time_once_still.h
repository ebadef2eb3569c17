#pragma once
// Waiting for a playing time to stand still.
#include <windows.h>

#include <functional>

// A paused engine's clock stops once the pause has gone through its threads, which Wine's does a
// moment after Pause answers: the playing time once two readings 30 ms apart agree (given up
// after 3 s, when the time that moves on is returned, and the test's comparison fails).
inline double timeOnceStill(const std::function<double()>& playingTime)
{
    double last = playingTime();
    const ULONGLONG end = GetTickCount64() + 3000;
    while (GetTickCount64() < end) {
        Sleep(30);
        const double now = playingTime();
        if (now == last)
            break;
        last = now;
    }
    return last;
}
