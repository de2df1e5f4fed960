// Reading the configuration file as text lines and the image files in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A text file opened in text mode: a line ends at a line feed, a carriage return right
// before it is dropped, a 0x1A byte ends the file, lines may be of any length.
class TextFile {
public:
    virtual ~TextFile() = default;
    // Next line into `line`; false at the end of the file or when reading fails.
    virtual bool ReadLine(std::string& line) = 0;
    // True when the last ReadLine stopped because of a read error, not the end of file.
    virtual bool Failed() const = 0;
};

// A binary file opened for reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Bytes read into `buffer` (at most `count`), 0 at the end of the file, -1 on failure.
    virtual int64_t Read(uint8_t* buffer, uint32_t count) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Null when the file does not exist, is not a regular file, or cannot be opened.
    // Names without a folder resolve against the current directory.
    virtual std::unique_ptr<TextFile> OpenText(const std::string& name) = 0;
    virtual std::unique_ptr<InputFile> OpenInput(const std::string& name) = 0;
};

// Splits text-mode lines off a byte stream; shared by every TextFile implementation so
// that the line rules exist once.
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
    std::string pending_;
    size_t start_ = 0;  // first byte of pending_ not yet handed out as a line
    size_t scan_ = 0;   // no line feed lies between start_ and scan_
    bool ended_ = false;
};

}  // namespace platform
