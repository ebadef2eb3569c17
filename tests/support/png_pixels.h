#pragma once
// Pictures as 32-bit pixels for comparing rendered output with committed references.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Premultiplied BGRA pixels, rows top-down (what a layered window is given).
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Saves as a PNG with straight alpha; false on failure.
bool savePng(const std::wstring& path, const PixelImage& image);
// Loads a PNG into premultiplied pixels; an empty image when it cannot be read.
PixelImage loadPng(const std::wstring& path);

struct PixelDifference {
    std::size_t differing = 0; // pixels with a channel further apart than the tolerance
    int largest = 0;           // the largest channel difference seen
};
PixelDifference comparePixels(const PixelImage& left, const PixelImage& right, int tolerance);
