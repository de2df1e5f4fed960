// Text-mode line reading, shared by every text file, and the Linux file opening rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/files.h"
#include "platform/linux/linux_platform.h"

using namespace std::string_literals;

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// Every line the splitter gives for `bytes` fed in pieces of `piece` bytes.
Lines Split(const std::string& bytes, size_t piece) {
    platform::TextLineSplitter splitter;
    Lines lines;
    std::string line;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        const bool more = splitter.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
        while (splitter.TakeLine(line)) lines.push_back(line);
        if (!more) break;
    }
    while (splitter.TakeRest(line)) lines.push_back(line);
    return lines;
}

struct LineCase {
    const char* name;
    std::string bytes;
    Lines lines;
};

const std::string kLongLine(1 << 20, 'L');

const LineCase kLineCases[] = {
    {"empty file", "", {}},
    {"line feeds", "a\nbb\n", {"a", "bb"}},
    {"last line without line feed", "a\nbb", {"a", "bb"}},
    {"carriage return before line feed dropped", "a\r\nbb\r\n", {"a", "bb"}},
    {"lone carriage returns kept", "a\rb\n\r\r\nc\r", {"a\rb", "\r", "c\r"}},
    {"empty lines", "\n\na\n\n", {"", "", "a", ""}},
    {"only a line feed", "\n", {""}},
    {"blanks kept", "  a  \n\t\n", {"  a  ", "\t"}},
    {"Ctrl-Z ends the file", "a\nb\x1a" "c\nd\n", {"a", "b"}},
    {"Ctrl-Z at the start", "\x1a" "a\n", {}},
    {"Ctrl-Z right after a line feed", "a\n\x1a\n", {"a"}},
    {"zero bytes inside a line", "a\0b\n\0\n"s, {"a\0b"s, "\0"s}},
    {"high bytes", "\x83\x41\xff\n", {"\x83\x41\xff"}},
    {"a megabyte line between short ones", "x\n" + kLongLine + "\r\ny", {"x", kLongLine, "y"}},
};

class LineSplitTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSplitTest, GivesTheSameLinesWhateverThePieceSize) {
    const LineCase& c = GetParam();
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{4096}, size_t{1} << 21}) {
        EXPECT_EQ(Split(c.bytes, piece), c.lines) << "pieces of " << piece;
    }
}

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const ::testing::TestParamInfo<LineCase>& info) {
    std::string name;
    for (const char* p = info.param.name; *p != '\0'; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(TextMode, LineSplitTest, ::testing::ValuesIn(kLineCases), CaseName);

TEST(LineSplitTest, ManyShortLinesInOnePieceAllComeOut) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes += std::to_string(i) + "\n";
    const Lines lines = Split(bytes, bytes.size());
    ASSERT_EQ(lines.size(), 200000u);
    EXPECT_EQ(lines.front(), "0");
    EXPECT_EQ(lines.back(), "199999");
}

TEST(LineSplitTest, NothingIsTakenAfterTheEndOfFileByte) {
    platform::TextLineSplitter splitter;
    EXPECT_FALSE(splitter.Feed("a\x1a", 2));
    EXPECT_FALSE(splitter.Feed("b\n", 2));
    std::string line;
    EXPECT_TRUE(splitter.TakeRest(line));
    EXPECT_EQ(line, "a");
    EXPECT_FALSE(splitter.TakeRest(line));
}

// Files in a temporary folder, read through the Linux file system.
class LinuxFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zvfirm-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    platform::FileSystem& files_ = platform::linux_os::LinuxFiles();
    fs::path folder_;
};

TEST_F(LinuxFilesTest, ReadsTheLinesOfEveryCase) {
    for (const LineCase& c : kLineCases) {
        const auto file = files_.OpenText(Write("lines.ini", c.bytes));
        ASSERT_NE(file, nullptr) << c.name;
        Lines lines;
        std::string line;
        while (file->ReadLine(line)) lines.push_back(line);
        EXPECT_FALSE(file->Failed()) << c.name;
        EXPECT_EQ(lines, c.lines) << c.name;
    }
}

TEST_F(LinuxFilesTest, ReadsBinaryFilesToTheirEnd) {
    std::string bytes(5000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
    const auto file = files_.OpenInput(Write("fw.bin", bytes));
    ASSERT_NE(file, nullptr);
    std::string read;
    uint8_t piece[1024];
    for (;;) {
        const int64_t got = file->Read(piece, sizeof piece);
        ASSERT_GE(got, 0);
        if (got == 0) break;
        read.append(reinterpret_cast<const char*>(piece), static_cast<size_t>(got));
    }
    EXPECT_EQ(read, bytes);
}

TEST_F(LinuxFilesTest, OnlyExistingRegularFilesOpen) {
    const std::string missing = (folder_ / "missing.ini").string();
    EXPECT_EQ(files_.OpenText(missing), nullptr);
    EXPECT_EQ(files_.OpenInput(missing), nullptr);

    const std::string folder = (folder_ / "folder.bin").string();
    fs::create_directory(folder);
    EXPECT_EQ(files_.OpenText(folder), nullptr);
    EXPECT_EQ(files_.OpenInput(folder), nullptr);

    // A FIFO without a writer would block a plain open for ever.
    const std::string fifo = (folder_ / "fifo.bin").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(files_.OpenText(fifo), nullptr);
    EXPECT_EQ(files_.OpenInput(fifo), nullptr);

    EXPECT_EQ(files_.OpenInput("/dev/null"), nullptr);
}

TEST_F(LinuxFilesTest, NamesWithoutAFolderResolveAgainstTheCurrentDirectory) {
    Write("zorvfirm.ini", "x\n");
    const fs::path previous = fs::current_path();
    fs::current_path(folder_);
    const auto file = files_.OpenText("zorvfirm.ini");
    fs::current_path(previous);
    ASSERT_NE(file, nullptr);
    std::string line;
    EXPECT_TRUE(file->ReadLine(line));
    EXPECT_EQ(line, "x");
}

}  // namespace
