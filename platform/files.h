// Reading the configuration file as text lines and the image files in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace platform {

// The most a text file may hold before its end: an update package's configuration is a
// few kilobytes, and a file that goes on past this (a huge or sparse file, or a /proc
// file that reports no size and never ends) is refused instead of read into memory.
// Bytes are counted as they are read, so no line can grow beyond this either.
inline constexpr size_t kTextFileLimit = size_t{1} << 20;

// A binary file opened for reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Bytes read into `buffer` (at most `count`), 0 at the end of the file, -1 on failure.
    virtual int64_t Read(uint8_t* buffer, uint32_t count) = 0;
};

// Splits text-mode lines off a byte stream: a line ends at a line feed, a carriage
// return right before it is dropped, a 0x1A byte ends the file.
class TextLineSplitter {
public:
    // Feeds more bytes; returns false once a 0x1A byte has ended the file.
    bool Feed(const char* data, size_t size);
    // Takes the next complete line, if any. A lone carriage return stays in the line.
    bool TakeLine(std::string& line);
    // At the end of the input: the next line, or else the last line without a line feed
    // (kept as it is, a trailing carriage return included), if there is one.
    bool TakeRest(std::string& line);

private:
    std::deque<std::string> lines_;  // complete lines not yet taken
    std::string partial_;            // the line still waiting for its line feed
    bool ended_ = false;
};

// A file read as text lines, from whatever opened it; the one line reader of the program,
// for the real files and the substitutes alike.
class TextFile {
public:
    explicit TextFile(std::unique_ptr<InputFile> input) : input_(std::move(input)) {}

    // Next line into `line`; false when no line is left: at the end of the file, after a
    // read error (Failed) or once the file has gone past kTextFileLimit (TooLarge).
    bool ReadLine(std::string& line);
    // True when reading stopped because of a read error, not the end of the file.
    bool Failed() const { return failed_; }
    // True when reading stopped because the file holds more than kTextFileLimit bytes
    // before its end.
    bool TooLarge() const { return tooLarge_; }

private:
    std::unique_ptr<InputFile> input_;
    TextLineSplitter splitter_;
    size_t consumed_ = 0;  // bytes handed to the splitter
    bool atEnd_ = false;
    bool failed_ = false;
    bool tooLarge_ = false;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Null when the file does not exist, is not a regular file, or cannot be opened.
    // Names without a folder resolve against the current directory.
    virtual std::unique_ptr<InputFile> OpenInput(const std::string& name) = 0;
    // The same file, read as text lines; null as for OpenInput.
    std::unique_ptr<TextFile> OpenText(const std::string& name);
};

}  // namespace platform
