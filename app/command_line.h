#pragma once
// The command line: what a script, a shortcut or a scheduled task asks of Peltorine, and the
// private message that carries it to the running copy and brings its answer back. Pure: text
// in, values out.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/wallpaper_modes.h"

enum class CommandKind {
    Run, // no arguments: start, or nothing when a copy runs
    Help,
    Set,
    Next,
    Undo,
    RestoreDefault,
    Pause,
    Play,
    Exit,
    Status,
};

struct CommandRequest {
    CommandKind kind = CommandKind::Run;
    // For Set: the files, as given (the sending copy makes them absolute).
    std::vector<std::wstring> files;
    std::optional<FitMode> fit;
    // For Set: 0 for all displays, N for the Nth display of the menu's list; nothing: as chosen.
    std::optional<std::uint32_t> display;

    bool operator==(const CommandRequest&) const = default;
};

struct ParsedCommandLine {
    std::optional<CommandRequest> request;
    // What is wrong with the arguments when there is no request.
    std::wstring usageError;
};

// The arguments after the program's own name.
[[nodiscard]] ParsedCommandLine parseCommandLine(const std::vector<std::wstring>& arguments);

// The help text in a language (0 English, 1 Vietnamese).
[[nodiscard]] std::wstring commandLineHelp(std::uint32_t language);

// The private message between the two copies: WM_COPYDATA with this tag, the sender's reply
// window in WPARAM. Anything else, larger than the bound, of another version or malformed is
// refused.
inline constexpr ULONG_PTR kCommandRequestTag = 0x50454C31; // "PEL1"
inline constexpr ULONG_PTR kCommandReplyTag = 0x50454C32;   // "PEL2"
inline constexpr std::uint32_t kCommandProtocolVersion = 1;
inline constexpr std::size_t kMaxCommandMessageBytes = 1024 * 1024;

// Exit codes of a command.
inline constexpr int kCommandSucceeded = 0;
inline constexpr int kCommandRefused = 1;
inline constexpr int kCommandUsageError = 2;

struct CommandReply {
    int exitCode = kCommandSucceeded;
    // A refusal's message, or what the command prints (the status).
    std::wstring text;

    bool operator==(const CommandReply&) const = default;
};

[[nodiscard]] std::vector<std::uint8_t> encodeCommandRequest(const CommandRequest& request);
[[nodiscard]] std::optional<CommandRequest> decodeCommandRequest(const void* data, std::size_t size);
[[nodiscard]] std::vector<std::uint8_t> encodeCommandReply(const CommandReply& reply);
[[nodiscard]] std::optional<CommandReply> decodeCommandReply(const void* data, std::size_t size);

// Text as a JSON string, quotes included.
[[nodiscard]] std::wstring jsonString(std::wstring_view text);
