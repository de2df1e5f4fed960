#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config/ini_text.h"

using namespace std::string_literals;

namespace {

TEST(ReadNumberTest, ReadsDecimalNumbersAndWrapsIntoThirtyTwoBits) {
    const struct {
        std::string value;
        uint32_t expected;
    } cases[] = {
        {"524288", 524288},
        {"  \t42", 42},
        {"+12abc", 12},
        {"-1", 0xFFFFFFFFu},
        {"-8192", 0u - 8192u},
        {"0x80000", 0},  // hexadecimal is not recognised
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {" - 5", 0},        // blank between sign and digits
        {"4294967296", 0},  // 2^32 wraps
        {"4294967297", 1},
        {"99999999999999999999999", 0xF67FFFFFu},  // many digits wrap, never overflow
        {"12 34", 12},
        {"300", 300},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadNumber(c.value), c.expected) << '"' << c.value << '"';
}

TEST(UpperCaseLineTest, FoldsOnlyAsciiLettersAndKeepsTheLength) {
    EXPECT_EQ(UpperCaseLine("use Restart=no [x]", false), "USE RESTART=NO [X]");
    const std::string highBytes = "\xe4\xf6\xfc\x83\x61z"s;
    EXPECT_EQ(UpperCaseLine(highBytes, false), "\xe4\xf6\xfc\x83\x41Z"s);
    const std::string withZero = "a\0b"s;
    EXPECT_EQ(UpperCaseLine(withZero, false), "A\0B"s);
}

TEST(UpperCaseLineTest, KeepsTheTrailByteOfADoubleByteCharacterOnAJapaneseSystem) {
    // 0x83 0x61 is one katakana character whose trail byte is 'a'; 0xE0 0x7A likewise 'z'.
    EXPECT_EQ(UpperCaseLine("\x83\x61"
                            "a\xe0\x7a"
                            "b"s,
                            true),
              "\x83\x61"
              "A\xe0\x7a"
              "B"s);
    // A lead byte at the very end of the line has no trail byte to skip.
    EXPECT_EQ(UpperCaseLine("a\x83"s, true), "A\x83"s);
    // Single-byte katakana (0xA1-0xDF) is no lead byte.
    EXPECT_EQ(UpperCaseLine("\xb1"
                            "a"s,
                            true),
              "\xb1"
              "A"s);
}

TEST(BeginsWithTest, MatchesOnlyAtTheFirstCharacter) {
    EXPECT_TRUE(BeginsWith("INQUIRY=X", "INQUIRY="));
    EXPECT_TRUE(BeginsWith("INQUIRY=", "INQUIRY="));
    EXPECT_FALSE(BeginsWith(" INQUIRY=X", "INQUIRY="));
    EXPECT_FALSE(BeginsWith("INQUIRY =X", "INQUIRY="));
    EXPECT_FALSE(BeginsWith("INQUIRY", "INQUIRY="));
}

TEST(StoreTextTest, StoresWhatFitsAndRefusesTheRestWithoutTouchingTheField) {
    char field[5];
    std::memset(field, 'x', sizeof field);
    EXPECT_TRUE(StoreText(field, sizeof field, "1.04"));
    EXPECT_STREQ(field, "1.04");
    EXPECT_FALSE(StoreText(field, sizeof field, "1.045"));
    EXPECT_STREQ(field, "1.04");
    EXPECT_TRUE(StoreText(field, sizeof field, ""));
    EXPECT_STREQ(field, "");
    // A zero byte ends the text as the field holds it, so what follows it does not count.
    EXPECT_TRUE(StoreText(field, sizeof field, "AB\0CDEFGH"s));
    EXPECT_STREQ(field, "AB");
}

TEST(StoreTextCutTest, CutsLongTextsBetweenCharacters) {
    const struct {
        std::string value;
        bool doubleByte;
        std::string expected;
    } cases[] = {
        {"ABCDEFGH", false, "ABCDEFG"},
        {"ABC", false, "ABC"},
        // UTF-8: a 2-byte and a 3-byte character that would be split at the 7th byte.
        {"ABCDEF\xc3\xa9", false, "ABCDEF"},
        {"ABCDEF\xe3\x81\x82", false, "ABCDEF"},
        // Code page 932 on a Japanese system: a lead byte at the last place is dropped.
        {"ABCDEF\x83\x41", true, "ABCDEF"},
        {"ABCDE\x83\x41Z", true, "ABCDE\x83\x41"},
        // Not valid UTF-8 and not a Japanese system: a plain byte cut.
        {"ABCDEF\x83\x41", false, "ABCDEF\x83"},
    };
    for (const auto& c : cases) {
        char field[8];
        std::memset(field, 'x', sizeof field);
        StoreTextCut(field, sizeof field, c.value, c.doubleByte);
        EXPECT_EQ(std::string(field), c.expected) << c.value;
    }
}

}  // namespace
