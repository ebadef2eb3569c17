#pragma once
// Whether windows hide an area of the screen: the geometry of pausing a video that nobody can
// see. Pure arithmetic on rectangles in virtual-screen pixels; no window is asked anything.
#include <windows.h>

#include <vector>

// True when the rectangles together cover every pixel of area (an empty area is covered).
// One window or several, overlapping or side by side; a gap of one pixel leaves it uncovered.
[[nodiscard]] bool areaCovered(const RECT& area, const std::vector<RECT>& windows);

// For each area, whether the windows cover it.
[[nodiscard]] std::vector<bool> areasCovered(const std::vector<RECT>& areas, const std::vector<RECT>& windows);
