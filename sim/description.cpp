#include "sim/description.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr uint32_t kMaxBufferBytes = 0x1000000;  // 24-bit WRITE BUFFER offsets and lengths

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(" \t,", pos);
        if (start == std::string_view::npos) {
            break;
        }
        size_t end = text.find_first_of(" \t,", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        words.push_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

// Decimal, or hexadecimal with a 0x prefix; the whole word must be the number.
bool ParseNumber(std::string_view word, uint64_t limit, uint64_t& value) {
    int base = 10;
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        base = 16;
        word.remove_prefix(2);
    }
    if (word.empty()) {
        return false;
    }
    uint64_t result = 0;
    for (const char c : word) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (result > limit) {
            return false;
        }
    }
    value = result;
    return true;
}

bool ParseHexByte(std::string_view word, uint8_t& value) {
    if (word.empty() || word.size() > 2) {
        return false;
    }
    uint64_t number = 0;
    if (!ParseNumber(std::string("0x") + std::string(word), 0xFF, number)) {
        return false;
    }
    value = static_cast<uint8_t>(number);
    return true;
}

// "KK/AA/QQ", each part one or two hexadecimal digits.
bool ParseSense(std::string_view word, SenseCode& sense) {
    const size_t first = word.find('/');
    const size_t second = first == std::string_view::npos ? first : word.find('/', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    return ParseHexByte(word.substr(0, first), sense.key) &&
           ParseHexByte(word.substr(first + 1, second - first - 1), sense.asc) &&
           ParseHexByte(word.substr(second + 1), sense.ascq);
}

class Parser {
public:
    Parser(const std::string& fileName, std::vector<DriveDescription>& drives)
        : fileName_(fileName), drives_(drives) {}

    bool Run(std::string_view text, std::string& error) {
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            ++line_;
            if (!Line(text.substr(pos, end - pos))) {
                error = fileName_ + ":" + std::to_string(line_) + ": " + what_;
                return false;
            }
            pos = end + 1;
        }
        if (drives_.empty()) {
            error = fileName_ + ": no [drive] section";
            return false;
        }
        return true;
    }

private:
    bool Fail(std::string what) {
        what_ = std::move(what);
        return false;
    }

    bool Line(std::string_view raw) {
        std::string_view line = Trim(raw);
        if (line.empty() || line[0] == '#') {
            return true;
        }
        if (line[0] == '[') {
            if (StripComment(line) != "[drive]") {
                return Fail("unknown section " + std::string(StripComment(line)) +
                            " (only [drive] is known)");
            }
            DriveDescription drive;
            drive.origin = fileName_ + ":" + std::to_string(line_);
            drives_.push_back(std::move(drive));
            seen_.clear();
            return true;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return Fail("expected 'key = value'");
        }
        const std::string key(Trim(line.substr(0, equals)));
        if (drives_.empty()) {
            return Fail("'" + key + "' outside a [drive] section");
        }
        std::string value;
        if (!Value(line.substr(equals + 1), value)) {
            return false;
        }
        if (key != "fault" && !seen_.insert(key).second) {
            return Fail("'" + key + "' given twice for one drive");
        }
        return Assign(drives_.back(), key, value);
    }

    static std::string_view StripComment(std::string_view text) {
        const size_t hash = text.find('#');
        return Trim(hash == std::string_view::npos ? text : text.substr(0, hash));
    }

    // The value after '=': a quoted string keeps its blanks; otherwise a '#' starts a
    // comment and surrounding blanks are dropped.
    bool Value(std::string_view text, std::string& value) {
        text = Trim(text);
        if (!text.empty() && text[0] == '"') {
            const size_t close = text.find('"', 1);
            if (close == std::string_view::npos) {
                return Fail("missing closing quote");
            }
            const std::string_view rest = Trim(text.substr(close + 1));
            if (!rest.empty() && rest[0] != '#') {
                return Fail("unexpected text after the closing quote");
            }
            value = std::string(text.substr(1, close - 1));
            return true;
        }
        value = std::string(StripComment(text));
        return true;
    }

    bool Text(const std::string& key, const std::string& value, size_t width, char pad,
              std::string& field) {
        if (value.size() > width) {
            return Fail("'" + key + "' is longer than " + std::to_string(width) + " characters");
        }
        field = value;
        field.resize(width, pad);
        return true;
    }

    bool Number(const std::string& key, const std::string& value, uint64_t limit,
                uint64_t& number) {
        if (!ParseNumber(value, limit, number)) {
            return Fail("'" + key + "' needs a number from 0 to " + std::to_string(limit) +
                        ", not '" + value + "'");
        }
        return true;
    }

    template <typename Field>
    bool NumberField(const std::string& key, const std::string& value, uint64_t limit,
                     Field& field) {
        uint64_t number = 0;
        if (!Number(key, value, limit, number)) {
            return false;
        }
        field = static_cast<Field>(number);
        return true;
    }

    bool YesNo(const std::string& key, const std::string& value, bool& field) {
        if (value == "yes") {
            field = true;
        } else if (value == "no") {
            field = false;
        } else {
            return Fail("'" + key + "' needs yes or no, not '" + value + "'");
        }
        return true;
    }

    bool Assign(DriveDescription& drive, const std::string& key, const std::string& value) {
        if (key == "vendor") return Text(key, value, 8, ' ', drive.vendor);
        if (key == "product") return Text(key, value, 16, ' ', drive.product);
        if (key == "revision") return Text(key, value, 4, ' ', drive.revision);
        if (key == "device_type") return NumberField(key, value, 0xFF, drive.deviceType);
        if (key == "inquiry_byte3") return NumberField(key, value, 0xFF, drive.inquiryByte3);
        if (key == "inquiry_flaps") return NumberField(key, value, 0xFFFFFFFF, drive.inquiryFlaps);
        if (key == "medium") return MediumValue(value, drive.medium);
        if (key == "flash_ms") return NumberField(key, value, 3600000, drive.flashMs);
        if (key == "final_chunk_delay_ms") {
            return NumberField(key, value, 600000, drive.finalChunkDelayMs);
        }
        if (key == "image_size") return NumberField(key, value, kMaxBufferBytes, drive.imageSize);
        if (key == "check_identity") return YesNo(key, value, drive.checkIdentity);
        if (key == "board_version") return NumberField(key, value, 0xFF, drive.boardVersion);
        if (key == "eps_version") {
            drive.hasSecondary = true;
            return Text(key, value, 7, '\0', drive.secondaryVersion);
        }
        if (key == "eps_commit_version") {
            drive.hasCommitVersion = true;
            return Text(key, value, 7, '\0', drive.secondaryCommitVersion);
        }
        if (key == "eps_capacity") {
            return NumberField(key, value, kMaxBufferBytes, drive.secondaryCapacity);
        }
        if (key == "eps_readback_corrupt") return CorruptionList(key, value, drive);
        if (key == "fault") return FaultValue(value, drive);
        return Fail("unknown key '" + key + "'");
    }

    bool MediumValue(const std::string& value, Medium& medium) {
        if (value == "empty") {
            medium = Medium::Empty;
        } else if (value == "open") {
            medium = Medium::Open;
        } else if (value == "loaded") {
            medium = Medium::Loaded;
        } else {
            return Fail("'medium' needs empty, open or loaded, not '" + value + "'");
        }
        return true;
    }

    bool CorruptionList(const std::string& key, const std::string& value, DriveDescription& drive) {
        for (const std::string_view word : Words(value)) {
            uint64_t count = 0;
            if (!Number(key, std::string(word), 0xFFFFFF, count)) {
                return false;
            }
            drive.readBackCorruption.push_back(static_cast<uint32_t>(count));
        }
        if (drive.readBackCorruption.empty()) {
            return Fail("'eps_readback_corrupt' needs a list of byte counts");
        }
        return true;
    }

    // "<trigger> : <effect>", see sim/README.md.
    bool FaultValue(const std::string& value, DriveDescription& drive) {
        const size_t colon = value.find(':');
        if (colon == std::string::npos) {
            return Fail("'fault' needs '<which command> : <effect>'");
        }
        Fault fault;
        if (!FaultTriggerValue(Words(std::string_view(value).substr(0, colon)), fault) ||
            !FaultEffectValue(Words(std::string_view(value).substr(colon + 1)), fault)) {
            return false;
        }
        drive.faults.push_back(fault);
        return true;
    }

    bool Ordinal(std::string_view word, bool zeroAllowed, uint32_t& ordinal) {
        uint64_t number = 0;
        if (!ParseNumber(word, 0xFFFFFFFF, number) || (!zeroAllowed && number == 0)) {
            return Fail(std::string("fault: '") + std::string(word) + "' is not " +
                        (zeroAllowed ? "a number" : "a count from 1"));
        }
        ordinal = static_cast<uint32_t>(number);
        return true;
    }

    bool FaultTriggerValue(const std::vector<std::string_view>& words, Fault& fault) {
        if (words.empty()) {
            return Fail("fault: which command is missing");
        }
        const std::string_view name = words[0];
        struct Kind {
            const char* name;
            FaultTrigger trigger;
            bool takesCode;      // an opcode or buffer id follows the name
            bool ordinalNeeded;  // without an ordinal the fault hits every match
        };
        static const Kind kinds[] = {
            {"command", FaultTrigger::Command, false, true},
            {"opcode", FaultTrigger::Opcode, true, false},
            {"chunk", FaultTrigger::Chunk, false, true},
            {"final", FaultTrigger::Final, false, false},
            {"write_buffer", FaultTrigger::WriteBuffer, true, false},
            {"read_buffer", FaultTrigger::ReadBuffer, true, false},
            {"tur_after_flash", FaultTrigger::TestUnitReadyAfterFlash, false, true},
        };
        for (const Kind& kind : kinds) {
            if (name != kind.name) {
                continue;
            }
            fault.trigger = kind.trigger;
            size_t next = 1;
            if (kind.takesCode) {
                uint64_t code = 0;
                if (words.size() < 2 || !ParseNumber(words[1], 0xFF, code)) {
                    return Fail("fault: '" + std::string(name) + "' needs a byte value");
                }
                fault.code = static_cast<uint8_t>(code);
                next = 2;
            }
            if (words.size() > next + 1) {
                return Fail("fault: too many words in '" + std::string(name) + "'");
            }
            if (words.size() == next) {
                if (kind.ordinalNeeded) {
                    return Fail("fault: '" + std::string(name) + "' needs a number");
                }
                fault.every = true;
                return true;
            }
            return Ordinal(words[next], kind.trigger == FaultTrigger::Chunk, fault.ordinal);
        }
        return Fail("fault: unknown command selector '" + std::string(name) + "'");
    }

    bool FaultEffectValue(const std::vector<std::string_view>& words, Fault& fault) {
        if (words.size() == 2 && words[0] == "sense") {
            fault.effect = FaultEffect::Sense;
            if (!ParseSense(words[1], fault.sense)) {
                return Fail("fault: sense needs KK/AA/QQ in hexadecimal, not '" +
                            std::string(words[1]) + "'");
            }
            return true;
        }
        if (words.size() == 1 && words[0] == "busy") {
            fault.effect = FaultEffect::Busy;
            return true;
        }
        if (words.size() == 1 && words[0] == "timeout") {
            fault.effect = FaultEffect::TimeOut;
            return true;
        }
        if (words.size() == 1 && words[0] == "vanish") {
            fault.effect = FaultEffect::Vanish;
            return true;
        }
        return Fail("fault: the effect must be 'sense KK/AA/QQ', busy, timeout or vanish");
    }

    const std::string& fileName_;
    std::vector<DriveDescription>& drives_;
    std::set<std::string> seen_;
    unsigned line_ = 0;
    std::string what_;
};

}  // namespace

bool ParseDescription(std::string_view text, const std::string& fileName,
                      std::vector<DriveDescription>& drives, std::string& error) {
    drives.clear();
    Parser parser(fileName, drives);
    if (!parser.Run(text, error)) {
        drives.clear();
        return false;
    }
    return true;
}

namespace {

// Opens `path` only when it is a regular file, found out without opening it: a device named
// here would have its driver opened, and a FIFO would block. The file opened is the one
// looked up, reached again through its O_PATH descriptor. -1 with `error` set otherwise.
int OpenRegularFile(const std::string& path, std::string& error) {
    const int lookedUp = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (lookedUp < 0) {
        error = path + ": cannot be opened";
        return -1;
    }
    struct stat info {};
    int fd = -1;
    if (fstat(lookedUp, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = path + ": is not a regular file";
    } else {
        const std::string reopen = "/proc/self/fd/" + std::to_string(lookedUp);
        fd = open(reopen.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) error = path + ": cannot be opened";
    }
    close(lookedUp);
    return fd;
}

}  // namespace

bool LoadDescriptionFile(const std::string& path, std::vector<DriveDescription>& drives,
                         std::string& error) {
    drives.clear();
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) return false;
    std::string text;
    char piece[4096];
    for (;;) {
        const ssize_t got = read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            error = path + ": cannot be read";
            return false;
        }
        if (got == 0) break;
        text.append(piece, static_cast<size_t>(got));
    }
    close(fd);
    return ParseDescription(text, path, drives, error);
}

}  // namespace sim
