// The main of every test program: GoogleTest, plus a progress file beside the report that names
// the test running now, so that a program that crashes or is stopped for taking too long still
// says where it was (scripts/test reads it).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

class ProgressFile final : public ::testing::EmptyTestEventListener {
public:
    explicit ProgressFile(std::string path) : path_(std::move(path)) {}

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        write(std::string(test.test_suite_name()) + "." + test.name());
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { write("(the program ended)"); }

private:
    void write(const std::string& line) const
    {
        if (FILE* file = std::fopen(path_.c_str(), "wb")) {
            std::fputs((line + "\n").c_str(), file);
            std::fclose(file);
        }
    }

    std::string path_;
};

// "xml:DIR/NAME.xml" gives DIR/NAME.progress.
std::string progressPathOf(const std::string& output)
{
    if (output.rfind("xml:", 0) != 0 || output.size() <= 8)
        return {};
    std::string path = output.substr(4);
    const std::size_t dot = path.rfind(".xml");
    return dot == std::string::npos ? std::string() : path.substr(0, dot) + ".progress";
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (const std::string progress = progressPathOf(::testing::GTEST_FLAG(output)); !progress.empty())
        ::testing::UnitTest::GetInstance()->listeners().Append(new ProgressFile(progress));
    return RUN_ALL_TESTS();
}
