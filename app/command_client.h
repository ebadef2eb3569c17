#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/command_line.h"

// The side of the command line that runs in the new process: forwards the request to the running
// copy (starting one first when none runs, except for exit), waits for its answer and prints it
// to the console the command was started from, or to redirected handles. Returns the exit code.
[[nodiscard]] int forwardCommand(HINSTANCE instance, const CommandRequest& request) noexcept;

// The language Peltorine speaks, read from the settings file without preparing anything.
[[nodiscard]] std::uint32_t userLanguage() noexcept;

// Writes text to standard output or standard error: the redirected handle when there is one,
// else the parent's console.
void writeToConsole(DWORD standardHandle, const std::wstring& text) noexcept;
