#pragma once
// The menu model in text, one line per item, submenus indented:
// "34 Fill [checked]", "> Wallpaper fit", "---", "11 Peltorine [banner] [greyed]".
// The end-to-end test reads the real menu into the same form.
#include <string>
#include <vector>

#include "tray/menu_model.h"

std::vector<std::wstring> describeMenuModel(const std::vector<MenuItem>& items);
