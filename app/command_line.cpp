#include "app/command_line.h"

#include <cwchar>
#include <cwctype>
#include <limits>

#include "platform/paths.h"

namespace {

struct CommandName {
    const wchar_t* name;
    CommandKind kind;
};

constexpr CommandName kCommands[] = {
    {L"set", CommandKind::Set},     {L"next", CommandKind::Next}, {L"undo", CommandKind::Undo},
    {L"restore-default", CommandKind::RestoreDefault},            {L"pause", CommandKind::Pause},
    {L"play", CommandKind::Play},   {L"exit", CommandKind::Exit}, {L"status", CommandKind::Status},
};

// The fit names as the menu shows them in English, by their values.
constexpr const wchar_t* kFitOptionNames[] = {L"center", L"tile", L"stretch", L"fit", L"fill", L"span"};

constexpr wchar_t kMagic[] = L"Peltorine";

std::optional<CommandKind> commandNamed(std::wstring_view name)
{
    for (const CommandName& command : kCommands) {
        if (equalsIgnoringAsciiCase(name, command.name))
            return command.kind;
    }
    return std::nullopt;
}

const wchar_t* nameOf(CommandKind kind)
{
    for (const CommandName& command : kCommands) {
        if (command.kind == kind)
            return command.name;
    }
    return L"";
}

std::optional<std::uint32_t> parseCount(std::wstring_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    return value;
}

std::optional<FitMode> fitNamed(std::wstring_view name)
{
    for (std::size_t i = 0; i < std::size(kFitOptionNames); ++i) {
        if (equalsIgnoringAsciiCase(name, kFitOptionNames[i]))
            return static_cast<FitMode>(i);
    }
    return std::nullopt;
}

// "--name value" or "--name=value"; advances index past what it took.
std::optional<std::wstring> optionValue(const std::vector<std::wstring>& arguments, std::size_t& index,
                                        std::wstring_view name)
{
    const std::wstring& argument = arguments[index];
    if (argument.size() > name.size() && argument.compare(0, name.size(), name) == 0 && argument[name.size()] == L'=')
        return argument.substr(name.size() + 1);
    if (argument != name || index + 1 >= arguments.size())
        return std::nullopt;
    return arguments[++index];
}

ParsedCommandLine usage(std::wstring message)
{
    ParsedCommandLine parsed;
    parsed.usageError = std::move(message);
    return parsed;
}

ParsedCommandLine parseSet(const std::vector<std::wstring>& arguments)
{
    CommandRequest request;
    request.kind = CommandKind::Set;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (!optionsEnded && argument == L"--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.rfind(L"--fit", 0) == 0) {
            const auto value = optionValue(arguments, i, L"--fit");
            const auto fit = value ? fitNamed(*value) : std::nullopt;
            if (!fit)
                return usage(L"--fit takes center, tile, stretch, fit, fill or span.");
            request.fit = fit;
        } else if (!optionsEnded && argument.rfind(L"--display", 0) == 0) {
            const auto value = optionValue(arguments, i, L"--display");
            std::optional<std::uint32_t> number;
            if (value && equalsIgnoringAsciiCase(*value, L"all"))
                number = 0;
            else if (value && parseCount(*value).value_or(0) != 0)
                number = parseCount(*value);
            if (!number)
                return usage(L"--display takes all or a display's number, from 1.");
            request.display = number;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == L'-') {
            return usage(L"Unknown option " + argument + L".");
        } else {
            request.files.push_back(argument);
        }
    }
    if (request.files.empty())
        return usage(L"set needs one or more files.");
    ParsedCommandLine parsed;
    parsed.request = std::move(request);
    return parsed;
}

void appendField(std::vector<std::uint8_t>& bytes, std::wstring_view field)
{
    for (const wchar_t c : field) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    bytes.push_back(0);
    bytes.push_back(0);
}

// The fields of a message, each ended by a null; nothing when the bytes are not such a list,
// are too many, or do not start with our name and version.
std::optional<std::vector<std::wstring>> fieldsOf(const void* data, std::size_t size)
{
    if (data == nullptr || size < 2 || size % 2 != 0 || size > kMaxCommandMessageBytes)
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::wstring> fields(1);
    for (std::size_t i = 0; i < size; i += 2) {
        const auto c = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == L'\0')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    // The last field ended with the message.
    if (!fields.back().empty())
        return std::nullopt;
    fields.pop_back();
    if (fields.size() < 2 || fields[0] != kMagic || parseCount(fields[1]) != kCommandProtocolVersion)
        return std::nullopt;
    return fields;
}

} // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::wstring>& arguments)
{
    ParsedCommandLine parsed;
    if (arguments.empty()) {
        parsed.request = CommandRequest{};
        return parsed;
    }
    const std::wstring& first = arguments.front();
    if (first == L"--help" || first == L"-h" || first == L"/?") {
        if (arguments.size() > 1)
            return usage(first + L" takes nothing after it.");
        parsed.request = CommandRequest{CommandKind::Help, {}, std::nullopt, std::nullopt};
        return parsed;
    }
    const std::optional<CommandKind> kind = commandNamed(first);
    if (!kind)
        return usage(L"Unknown command " + first + L".");
    if (*kind == CommandKind::Set)
        return parseSet(arguments);
    if (arguments.size() > 1)
        return usage(first + L" takes nothing after it.");
    parsed.request = CommandRequest{*kind, {}, std::nullopt, std::nullopt};
    return parsed;
}

std::wstring commandLineHelp(std::uint32_t language)
{
    if (language == 1) {
        return L"Cách dùng: peltorine [lệnh]\n"
               L"Không có lệnh: khởi động Peltorine (hoặc không làm gì nếu đang chạy).\n"
               L"  set TỆP...            đặt hình nền: một ảnh, nhiều ảnh (trình chiếu) hoặc một video MP4\n"
               L"      --fit center|tile|stretch|fit|fill|span   kiểu hiển thị\n"
               L"      --display all|N                           tất cả màn hình, hoặc màn hình thứ N\n"
               L"  next                  ảnh tiếp theo của trình chiếu\n"
               L"  undo                  hoàn tác lần đổi gần nhất\n"
               L"  restore-default       về hình nền mặc định\n"
               L"  pause, play           tạm dừng hoặc phát tiếp video\n"
               L"  status                trạng thái hiện tại, dạng JSON\n"
               L"  exit                  thoát Peltorine\n"
               L"Mã thoát: 0 thành công, 1 bị từ chối, 2 dùng sai lệnh.\n";
    }
    return L"Usage: peltorine [command]\n"
           L"Without a command: starts Peltorine (or nothing when it runs).\n"
           L"  set FILE...           sets the wallpaper: one picture, several (a slideshow) or one MP4 video\n"
           L"      --fit center|tile|stretch|fit|fill|span   how pictures are placed\n"
           L"      --display all|N                           all displays, or the Nth display\n"
           L"  next                  the slideshow's next picture\n"
           L"  undo                  undoes the last change\n"
           L"  restore-default       restores the default wallpaper\n"
           L"  pause, play           pauses or plays the video wallpaper\n"
           L"  status                the current state, as JSON\n"
           L"  exit                  exits Peltorine\n"
           L"Exit codes: 0 done, 1 refused, 2 a usage error.\n";
}

std::vector<std::uint8_t> encodeCommandRequest(const CommandRequest& request)
{
    std::vector<std::uint8_t> bytes;
    appendField(bytes, kMagic);
    appendField(bytes, std::to_wstring(kCommandProtocolVersion));
    appendField(bytes, nameOf(request.kind));
    appendField(bytes, request.fit ? std::to_wstring(*request.fit) : L"");
    appendField(bytes, request.display ? std::to_wstring(*request.display) : L"");
    appendField(bytes, std::to_wstring(request.files.size()));
    for (const std::wstring& file : request.files)
        appendField(bytes, file);
    return bytes;
}

std::optional<CommandRequest> decodeCommandRequest(const void* data, std::size_t size)
{
    const auto fields = fieldsOf(data, size);
    if (!fields || fields->size() < 6)
        return std::nullopt;
    const std::vector<std::wstring>& f = *fields;
    CommandRequest request;
    const auto kind = commandNamed(f[2]);
    if (!kind)
        return std::nullopt;
    request.kind = *kind;
    if (!f[3].empty()) {
        const auto fit = parseCount(f[3]);
        if (!fit || *fit > FitSpan)
            return std::nullopt;
        request.fit = static_cast<FitMode>(*fit);
    }
    if (!f[4].empty()) {
        request.display = parseCount(f[4]);
        if (!request.display)
            return std::nullopt;
    }
    const auto count = parseCount(f[5]);
    if (!count || *count != f.size() - 6)
        return std::nullopt;
    request.files.assign(f.begin() + 6, f.end());
    for (const std::wstring& file : request.files) {
        if (file.empty())
            return std::nullopt;
    }
    // Only set carries files and options.
    if (request.kind != CommandKind::Set && (!request.files.empty() || request.fit || request.display))
        return std::nullopt;
    if (request.kind == CommandKind::Set && request.files.empty())
        return std::nullopt;
    return request;
}

std::vector<std::uint8_t> encodeCommandReply(const CommandReply& reply)
{
    std::vector<std::uint8_t> bytes;
    appendField(bytes, kMagic);
    appendField(bytes, std::to_wstring(kCommandProtocolVersion));
    appendField(bytes, std::to_wstring(reply.exitCode));
    appendField(bytes, reply.text);
    return bytes;
}

std::optional<CommandReply> decodeCommandReply(const void* data, std::size_t size)
{
    const auto fields = fieldsOf(data, size);
    if (!fields || fields->size() != 4)
        return std::nullopt;
    const auto code = parseCount((*fields)[2]);
    if (!code || *code > kCommandUsageError)
        return std::nullopt;
    return CommandReply{static_cast<int>(*code), (*fields)[3]};
}

std::wstring jsonString(std::wstring_view text)
{
    std::wstring json = L"\"";
    for (const wchar_t c : text) {
        switch (c) {
        case L'"':
            json += L"\\\"";
            break;
        case L'\\':
            json += L"\\\\";
            break;
        case L'\n':
            json += L"\\n";
            break;
        case L'\r':
            json += L"\\r";
            break;
        case L'\t':
            json += L"\\t";
            break;
        default:
            if (c < 0x20) {
                wchar_t escaped[8] = {};
                swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                json += escaped;
            } else {
                json += c;
            }
        }
    }
    json += L'"';
    return json;
}
