// Text-mode line reading, shared by every text file, its size limit, and the Linux file
// opening rules.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/linux/linux_platform.h"
#include "platform/substitute/memory_files.h"

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

const std::string kLongLine(1 << 19, 'L');

// clang-format off
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
    {"a half-megabyte line between short ones", "x\n" + kLongLine + "\r\ny", {"x", kLongLine, "y"}},
};
// clang-format on

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
    for (const char* p = info.param.name; *p != '\0'; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
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

// ---- The size limit ------------------------------------------------------------------------

constexpr size_t kLimit = platform::kTextFileLimit;

struct LimitCase {
    const char* name;
    std::string bytes;
    Lines lines;  // every line handed out before reading stopped
    bool tooLarge;
};

const std::string kFiller(kLimit - 4, 'x');

// clang-format off
const LimitCase kLimitCases[] = {
    {"exactly at the limit", "a\n" + kFiller + "\nb", {"a", kFiller, "b"}, false},
    // The lines that ended within the limit still come out; the one the limit cuts does not.
    {"one byte past the limit", "a\n" + kFiller + "\nbc", {"a", kFiller}, true},
    {"end-of-file byte right at the limit", "a\n" + kFiller + "\nb\x1a" + std::string(5000, 'y'),
     {"a", kFiller, "b"}, false},
    {"megabytes after an end-of-file byte", "a\n\x1a" + std::string(3 * kLimit, 'y'), {"a"}, false},
    {"one line far past the limit", std::string(3 * kLimit, '\0'), {}, true},
};
// clang-format on

// The lines and the verdict of one text file.
struct Reading {
    Lines lines;
    bool tooLarge = false;
    bool failed = false;
};

Reading ReadAll(platform::TextFile& file) {
    Reading reading;
    std::string line;
    while (file.ReadLine(line)) reading.lines.push_back(line);
    reading.tooLarge = file.TooLarge();
    reading.failed = file.Failed();
    // Once stopped, a file stays stopped.
    EXPECT_FALSE(file.ReadLine(line));
    return reading;
}

TEST(TextFileLimitTest, ReadingStopsPastTheLimitWhateverTheReadSizes) {
    for (const LimitCase& c : kLimitCases) {
        for (const size_t readSize : {size_t{0}, size_t{4095}, size_t{7}}) {
            SCOPED_TRACE(std::string(c.name) + ", reads of " + std::to_string(readSize));
            platform::substitute::MemoryFiles files;
            files.Add("big.ini", c.bytes);
            files.SetMaxReadSize(readSize);
            const auto file = files.OpenText("big.ini");
            ASSERT_NE(file, nullptr);
            const Reading reading = ReadAll(*file);
            EXPECT_EQ(reading.tooLarge, c.tooLarge);
            EXPECT_FALSE(reading.failed);
            EXPECT_EQ(reading.lines, c.lines);
        }
    }
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

TEST_F(LinuxFilesTest, StopsPastTheLimitOfEveryCase) {
    for (const LimitCase& c : kLimitCases) {
        SCOPED_TRACE(c.name);
        const auto file = files_.OpenText(Write("big.ini", c.bytes));
        ASSERT_NE(file, nullptr);
        const Reading reading = ReadAll(*file);
        EXPECT_EQ(reading.tooLarge, c.tooLarge);
        EXPECT_FALSE(reading.failed);
        EXPECT_EQ(reading.lines, c.lines);
    }
}

// Files that report no size, or a size far beyond what is read, end at the limit.
TEST_F(LinuxFilesTest, EndlessAndSparseFilesStopAtTheLimit) {
    const std::string sparse = (folder_ / "sparse.ini").string();
    Write("sparse.ini", "");
    ASSERT_EQ(truncate(sparse.c_str(), off_t{4} << 30), 0);
    for (const std::string& name : {sparse, std::string("/proc/self/pagemap")}) {
        SCOPED_TRACE(name);
        const auto file = files_.OpenText(name);
        ASSERT_NE(file, nullptr);
        const Reading reading = ReadAll(*file);
        EXPECT_TRUE(reading.tooLarge);
        EXPECT_FALSE(reading.failed);
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

    for (const char* device : {"/dev/null", "/dev/zero", "/dev/tty"}) {
        EXPECT_EQ(files_.OpenText(device), nullptr) << device;
        EXPECT_EQ(files_.OpenInput(device), nullptr) << device;
    }

    // A link is followed, and what it leads to decides.
    const std::string toDevice = (folder_ / "to-zero.bin").string();
    fs::create_symlink("/dev/zero", toDevice);
    EXPECT_EQ(files_.OpenInput(toDevice), nullptr);
    const std::string toFile = (folder_ / "to-file.bin").string();
    fs::create_symlink(Write("file.bin", "data"), toFile);
    EXPECT_NE(files_.OpenInput(toFile), nullptr);
}

// A special file is only looked at, never opened: inotify reports every close of a file
// that was really opened, and none for a descriptor that only named it (O_PATH).
TEST_F(LinuxFilesTest, ASpecialFileIsNeverOpened) {
    const std::string fifo = (folder_ / "fifo.bin").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(inotify_add_watch(watcher, fifo.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);

    EXPECT_EQ(files_.OpenText(fifo), nullptr);
    EXPECT_EQ(files_.OpenInput(fifo), nullptr);

    alignas(inotify_event) char events[4096];
    EXPECT_LT(read(watcher, events, sizeof events), 0) << "the FIFO was opened";
    // The watch itself works: a real open and close is seen.
    close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    EXPECT_GT(read(watcher, events, sizeof events), 0);
    close(watcher);
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
