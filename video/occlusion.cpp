#include "video/occlusion.h"

#include <algorithm>

namespace {

bool isEmpty(const RECT& rect) noexcept
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

// What remains of piece outside cut: up to four rectangles, above, below, left and right of it.
void subtract(const RECT& piece, const RECT& cut, std::vector<RECT>& remaining)
{
    const RECT overlap{std::max(piece.left, cut.left), std::max(piece.top, cut.top), std::min(piece.right, cut.right),
                       std::min(piece.bottom, cut.bottom)};
    if (isEmpty(overlap)) {
        remaining.push_back(piece);
        return;
    }
    const RECT parts[] = {
        {piece.left, piece.top, piece.right, overlap.top},
        {piece.left, overlap.bottom, piece.right, piece.bottom},
        {piece.left, overlap.top, overlap.left, overlap.bottom},
        {overlap.right, overlap.top, piece.right, overlap.bottom},
    };
    for (const RECT& part : parts) {
        if (!isEmpty(part))
            remaining.push_back(part);
    }
}

} // namespace

bool areaCovered(const RECT& area, const std::vector<RECT>& windows)
{
    std::vector<RECT> uncovered;
    if (!isEmpty(area))
        uncovered.push_back(area);
    std::vector<RECT> next;
    for (const RECT& window : windows) {
        if (uncovered.empty())
            break;
        if (isEmpty(window))
            continue;
        next.clear();
        for (const RECT& piece : uncovered)
            subtract(piece, window, next);
        uncovered.swap(next);
    }
    return uncovered.empty();
}

std::vector<bool> areasCovered(const std::vector<RECT>& areas, const std::vector<RECT>& windows)
{
    std::vector<bool> covered;
    covered.reserve(areas.size());
    for (const RECT& area : areas)
        covered.push_back(areaCovered(area, windows));
    return covered;
}
