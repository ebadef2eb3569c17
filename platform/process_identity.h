#pragma once
#include <windows.h>

// Whether a window belongs to a process of the same user in the same session as this one: the
// only senders a private message between two copies of the program is taken from.
[[nodiscard]] bool windowOfThisUsersSession(HWND window) noexcept;
