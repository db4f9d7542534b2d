#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kavro {
namespace {

class TextFileTest : public ::testing::Test {
  protected:
    testing::TempDir tmp_{"kavro_text"};
};

TEST(SplitLines, CarriageReturnEndsALineLineFeedAloneDoesNot) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\r\n", {"a\nb"}},
        {"a\n", {"a\n"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"\r", {""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\r\n\n", {"a", "\n"}},
        {"\n\r\n", {"\n"}},
        {std::string("x\0y\r\nz", 6), {std::string("x\0y", 3), "z"}},
    };
    for (const auto& c : cases) {
        const auto lines = SplitLines(c.text);
        std::vector<std::string> got(lines.begin(), lines.end());
        EXPECT_EQ(got, c.lines) << "text of " << c.text.size() << " bytes";
    }
}

TEST_F(TextFileTest, ReadsEveryByte) {
    const std::string bytes("12\r\n\0\xff\x1a\n\r end", 13);
    tmp_.write("data.bin", bytes);
    std::string out;
    ASSERT_TRUE(ReadWholeFile(tmp_.file("data.bin"), out));
    EXPECT_EQ(out, bytes);

    tmp_.write("empty", "");
    out = "old";
    ASSERT_TRUE(ReadWholeFile(tmp_.file("empty"), out));
    EXPECT_EQ(out, "");
}

TEST_F(TextFileTest, RefusesWhatIsNotAPlainFile) {
    ASSERT_EQ(mkfifo(tmp_.file("pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(tmp_.file("folder"));
    std::filesystem::create_symlink(tmp_.file("nowhere"), tmp_.file("dangling"));
    // A directory, a pipe (opening it would block) and missing or empty names.
    for (const std::string& path : {tmp_.file("folder"), tmp_.file("pipe"), tmp_.file("missing"),
                                    tmp_.file("dangling"), std::string(), tmp_.path() + "/"}) {
        std::string out = "kept";
        EXPECT_FALSE(ReadWholeFile(path, out)) << path;
        EXPECT_EQ(out, "kept") << path;
    }
}

TEST_F(TextFileTest, TruncateAndAppend) {
    const std::string f = tmp_.file("RIPOT");
    ASSERT_TRUE(AppendToFile(f, "one\r\n"));
    ASSERT_TRUE(AppendToFile(f, "two\r\n"));
    std::string out;
    ASSERT_TRUE(ReadWholeFile(f, out));
    EXPECT_EQ(out, "one\r\ntwo\r\n");

    ASSERT_TRUE(TruncateFile(f));
    ASSERT_TRUE(ReadWholeFile(f, out));
    EXPECT_EQ(out, "");

    EXPECT_FALSE(AppendToFile(tmp_.file("no/such/dir/RIPOT"), "x"));
    EXPECT_FALSE(TruncateFile(tmp_.file("no/such/dir/RIPOT")));
}

TEST(JoinPath, AddsOneSlash) {
    EXPECT_EQ(JoinPath("", "RIPOT"), "RIPOT");
    EXPECT_EQ(JoinPath("/tmp", "RIPOT"), "/tmp/RIPOT");
    EXPECT_EQ(JoinPath("/tmp/", "RIPOT"), "/tmp/RIPOT");
}

}  // namespace
}  // namespace kavro
