#pragma once
// The shell's desktop-wallpaper object of the test process (the development desktop's, once
// registered), as another program sees it.
#include <string>
#include <vector>

// The wallpaper of every display, in the object's order; empty when there is no object.
std::vector<std::wstring> wallpapersOfEveryDisplay();
