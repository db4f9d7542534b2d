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

TEST_F(TextFileTest, WritesRefuseWhatIsNotAPlainFileAndSayWhy) {
    ASSERT_EQ(mkfifo(tmp_.file("pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(tmp_.file("folder"));
    struct Case {
        std::string path, cause;
    };
    // A pipe would block an open for writing until a reader came: it is refused at once.
    const std::vector<Case> cases = {
        {tmp_.file("pipe"), "это не обычный файл"},
        {tmp_.file("folder"), "на месте файла находится папка"},
        {tmp_.file("no/such/dir/RIPOT"), "папка не найдена"},
    };
    for (const Case& c : cases) {
        std::string cause;
        EXPECT_FALSE(AppendToFile(c.path, "x\r\n", &cause)) << c.path;
        EXPECT_EQ(cause, c.cause) << c.path;
        cause.clear();
        EXPECT_FALSE(TruncateFile(c.path, &cause)) << c.path;
        EXPECT_EQ(cause, c.cause) << c.path;
    }
}

TEST_F(TextFileTest, ALineIsWrittenWholeOrNotAtAll) {
    const std::string f = tmp_.file("RIPOT");
    ASSERT_TRUE(AppendToFile(f, "one\r\n"));
    const testing::SizeLimit limit;
    limit.set(8);  // room for three more bytes only
    std::string cause;
    EXPECT_FALSE(AppendToFile(f, "twelve\r\n", &cause));
    limit.lift();
    EXPECT_EQ(cause, "превышен допустимый размер файла");
    std::string out;
    ASSERT_TRUE(ReadWholeFile(f, out));
    EXPECT_EQ(out, "one\r\n");
}

TEST_F(TextFileTest, LinesAreReadOneByOneAsQuoteFilesEndThem) {
    // Line ends across the reader's 64 KiB chunks, and lines cut to what is kept.
    std::string text = std::string(65535, 'a') + "\r\n" + "bc\n" + "\r" + std::string(70000, 'd');
    tmp_.write("lines", text);
    LineReader reader(4);
    ASSERT_TRUE(reader.open(tmp_.file("lines")));
    std::vector<std::string> got;
    std::string_view line;
    while (reader.next(line)) got.emplace_back(line);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(got, (std::vector<std::string>{"aaaa", "bc\n", "dddd"}));
    long count = 0;
    ASSERT_TRUE(CountLines(tmp_.file("lines"), count));
    EXPECT_EQ(count, 3);
    ASSERT_TRUE(CountLines(tmp_.file("lines"), count, 2));
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(LineReader(4).open(tmp_.path()));
}

TEST(JoinPath, AddsOneSlash) {
    EXPECT_EQ(JoinPath("", "RIPOT"), "RIPOT");
    EXPECT_EQ(JoinPath("/tmp", "RIPOT"), "/tmp/RIPOT");
    EXPECT_EQ(JoinPath("/tmp/", "RIPOT"), "/tmp/RIPOT");
}

}  // namespace
}  // namespace kavro
