#include "video/video_layout.h"

#include <algorithm>

Layout computeLayout(const RECT& windowRect, const RECT& spanRect, std::uint32_t videoWidth, std::uint32_t videoHeight,
                     FitMode fitMode, COLORREF background) noexcept
{
    const bool overSpan = fitMode == FitTile || fitMode == FitSpan;
    const RECT& reference = overSpan ? spanRect : windowRect;
    const float referenceWidth = static_cast<float>(reference.right - reference.left);
    const float referenceHeight = static_cast<float>(reference.bottom - reference.top);
    const float nativeWidth = static_cast<float>(videoWidth);
    const float nativeHeight = static_cast<float>(videoHeight);

    float width = referenceWidth;
    float height = referenceHeight;
    bool centred = false;
    switch (fitMode) {
    case FitCenter:
        width = nativeWidth;
        height = nativeHeight;
        centred = true;
        break;
    case FitTile:
        width = nativeWidth;
        height = nativeHeight;
        break;
    case FitFit:
    case FitFill:
    case FitSpan: {
        const float toHeight = referenceHeight / nativeHeight;
        const float toWidth = referenceWidth / nativeWidth;
        const float factor = fitMode == FitFit ? std::min(toHeight, toWidth) : std::max(toHeight, toWidth);
        width = nativeWidth * factor;
        height = nativeHeight * factor;
        centred = true;
        break;
    }
    default: // Stretch, and anything unknown
        break;
    }
    const float left = centred ? (referenceWidth - width) * 0.5f : 0.0f;
    const float top = centred ? (referenceHeight - height) * 0.5f : 0.0f;

    Layout layout;
    layout.background[0] = static_cast<float>(GetRValue(background)) / 255.0f;
    layout.background[1] = static_cast<float>(GetGValue(background)) / 255.0f;
    layout.background[2] = static_cast<float>(GetBValue(background)) / 255.0f;
    layout.tiled = fitMode == FitTile ? 1.0f : 0.0f;
    // An empty video or window places nothing: every pixel falls outside and shows the background.
    if (!(width > 0.0f) || !(height > 0.0f)) {
        layout.scale[0] = layout.scale[1] = 0.0f;
        layout.offset[0] = layout.offset[1] = -1.0f;
        layout.tiled = 0.0f;
        return layout;
    }
    const float shiftX = static_cast<float>(windowRect.left - reference.left);
    const float shiftY = static_cast<float>(windowRect.top - reference.top);
    layout.scale[0] = static_cast<float>(windowRect.right - windowRect.left) / width;
    layout.scale[1] = static_cast<float>(windowRect.bottom - windowRect.top) / height;
    layout.offset[0] = (shiftX - left) / width;
    layout.offset[1] = (shiftY - top) / height;
    return layout;
}
