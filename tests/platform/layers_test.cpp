// The product's folders are layers, and includes run only downwards:
//     platform <- common <- settings <- wallpaper <- video, widget, tray <- app
// The build holds the calls (one library per folder); this holds the includes, which a header
// with only inline code would otherwise let through.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What each folder may include besides itself.
const std::map<std::string, std::vector<std::string>> kAllowed = {
    {"platform", {"resources"}},
    {"common", {"platform"}},
    {"settings", {"platform", "common"}},
    {"wallpaper", {"platform", "common", "settings"}},
    {"video", {"platform", "common", "settings", "wallpaper"}},
    {"widget", {"platform", "common", "settings", "wallpaper", "resources"}},
    {"tray", {"platform", "common", "settings", "wallpaper", "resources"}},
    {"app", {"platform", "common", "settings", "wallpaper", "video", "widget", "tray", "resources"}},
};

TEST(Layers, ProductIncludesRunOnlyDownwards)
{
    const fs::path root(PELTORINE_SOURCE_DIR);
    const std::regex include(R"(^\s*#\s*include\s*"([a-z_]+)/[^"]+")");
    std::vector<std::string> upwards;
    int filesRead = 0;
    for (const auto& [folder, allowed] : kAllowed) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".h" && extension != ".cpp")
                continue;
            ++filesRead;
            std::ifstream file(entry.path());
            std::string line;
            while (std::getline(file, line)) {
                std::smatch match;
                if (!std::regex_search(line, match, include))
                    continue;
                const std::string target = match[1];
                if (target == folder || std::find(allowed.begin(), allowed.end(), target) != allowed.end())
                    continue;
                upwards.push_back(fs::relative(entry.path(), root).generic_string() + ": " + line);
            }
        }
    }
    EXPECT_GT(filesRead, 50);
    EXPECT_EQ(std::vector<std::string>{}, upwards);
}

} // namespace
