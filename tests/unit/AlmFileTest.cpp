#include "alarm/AlmFile.h"

#include "AlmSamples.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What a settings file holds, byte for byte: the same on every platform.
namespace kadrill::alarm {
namespace {

using namespace samples;

TEST(AlmEncode, SampleIsWrittenByteForByteAndReadBack) {
    EXPECT_EQ(encodeAlm(SampleSettings()), std::string(kSampleFile));
    EXPECT_EQ(Settings(kSampleFile), SampleSettings());
}

TEST(AlmEncode, InitialAlarmIsMidnightDisarmedWithEmptyPathsAndNoKeys) {
    EXPECT_EQ(encodeAlm(AlarmSettings{}), std::string(kHead) + "\"EOF\"\r\n");
}

TEST(AlmEncode, JapaneseTextIsCp932) {
    AlarmSettings s;
    s.soundFile = "ｱﾗｰﾑ～.wav"; // half-width katakana, and the wave dash SHIFT_JIS lacks
    s.keys = {{"あ", "{あ}"}};
    const std::optional<std::string> bytes = encodeAlm(s);
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("\"\xB1\xD7\xB0\xD1\x81\x60.wav\"\r\n"), std::string::npos);
    EXPECT_NE(bytes->find("\"{\x82\xA0}\"\r\n"), std::string::npos);
    EXPECT_EQ(Settings(*bytes), s);
}

TEST(AlmEncode, ValuesWithCommasQuotesAndBlanksSurviveARoundTrip) {
    AlarmSettings s = SampleSettings();
    s.soundFile = "C:\\My Music\\a,b \"live\".wav";
    s.programFile = "  leading and trailing  ";
    s.keys = {{",", "{,}"}, {"\"", "{\"}"},        {" ", "{ }"},
              {"#", "{#}"}, {"Shift+F1", "+{F1}"}, {"Ctrl+Atl+F6", "^%{F6}"}};
    const std::optional<std::string> bytes = encodeAlm(s);
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("\r\n\"\"\"\r\n\"{\"}\"\r\n"), std::string::npos) << "the quote key, unescaped";
    EXPECT_EQ(Settings(*bytes), s);
}

TEST(AlmEncode, TextTheFileCannotCarryIsRefused) {
    for (const char* text : {"😀", "¥100", "〜", "Ω\xFF", "line\r\nbreak", "new\nline", "\xE3\x81"}) {
        AlarmSettings s;
        s.programFile = text;
        EXPECT_EQ(encodeAlm(s), std::nullopt) << text;
        s.programFile.clear();
        s.keys = {{text, "{a}"}};
        EXPECT_EQ(encodeAlm(s), std::nullopt) << text;
    }
}

struct DecodeCase {
    const char* what;
    std::string bytes;
    std::int32_t time;
    std::size_t keys;
    bool keysLeftOut = false;
    // Only the description: the bytes run to megabytes.
    friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.what; }
};

class AlmDecodeAccepts : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(AlmDecodeAccepts, ReadsTimeAndKeys) {
    const std::optional<AlmContents> read = decodeAlm(GetParam().bytes);
    ASSERT_TRUE(read) << GetParam().what;
    EXPECT_EQ(read->settings.time, GetParam().time);
    EXPECT_EQ(read->settings.keys.size(), GetParam().keys);
    EXPECT_EQ(read->keysLeftOut, GetParam().keysLeftOut);
}

constexpr std::string_view kRest = "#TRUE#\r\n1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    Variants, AlmDecodeAccepts,
    ::testing::Values(
        DecodeCase{"end marker on line 6", std::string(kHead) + "\"EOF\"\r\n", 0, 0},
        DecodeCase{"date and time", "#1899-12-30 07:30:00#\r\n" + std::string(kRest), 27000, 0},
        DecodeCase{"slashed date", "#2024/2/29 23:59:59#\r\n" + std::string(kRest), 86399, 0},
        DecodeCase{"date alone is midnight", "#1899-12-30#\r\n" + std::string(kRest), 0, 0},
        DecodeCase{"short time", "#7:05#\r\n" + std::string(kRest), 25500, 0},
        DecodeCase{"blanks before and after values",
                   "  #07:30:00#\r\n\t#TRUE# \r\n 1 \r\n \"\" \r\n\t\"\"\r\n  \"a\"\r\n \"{a}\" \r\n \"EOF\"\r\n",
                   27000, 1},
        DecodeCase{"LF line ends, none after the last line", "#00:00:01#\n#TRUE#\n1\n\"\"\n\"\"\n\"EOF\"", 1, 0},
        DecodeCase{"anything after the end marker", std::string(kHead) + "\"EOF\"\r\nrubbish\xFF\r\n", 0, 0},
        DecodeCase{"500 pairs without an end marker", std::string(kHead) + Pairs(500), 0, 500},
        DecodeCase{"more than 500 pairs: the first 500, and word of the rest",
                   std::string(kHead) + Pairs(500) + "\"Enter\"\r\n\"{ENTER}\"\r\n\"EOF\"\r\n", 0, 500, true},
        DecodeCase{"500 pairs and the end marker: nothing left out", std::string(kHead) + Pairs(500) + "\"EOF\"\r\n",
                   0, 500},
        DecodeCase{"anything after 500 pairs", std::string(kHead) + Pairs(500) + "\xFF\"", 0, 500},
        DecodeCase{"the sequence ends at an empty name; what follows is not checked",
                   std::string(kHead) + "\"a\"\r\n\"{a}\"\r\n\"\"\r\n\"\"\r\n\"b\"\r\n\"nonsense\"\r\n\"EOF\"\r\n", 0,
                   1}));

struct RejectCase {
    const char* what;
    std::string bytes;
    friend void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.what; }
};

class AlmDecodeRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(AlmDecodeRejects, Malformed) { EXPECT_EQ(decodeAlm(GetParam().bytes), std::nullopt) << GetParam().what; }

std::string WithKey(std::string_view name, std::string_view code) {
    return std::string(kHead) + "\"" + std::string(name) + "\"\r\n\"" + std::string(code) + "\"\r\n\"EOF\"\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Files, AlmDecodeRejects,
    ::testing::Values(
        RejectCase{"empty", std::string()}, RejectCase{"no end marker", std::string(kHead)},
        RejectCase{"truncated in a pair", std::string(kHead) + "\"a\"\r\n"},
        RejectCase{"truncated in a value", std::string(kHead) + "\"EO"},
        RejectCase{"action 2", "#00:00:00#\r\n#TRUE#\r\n2\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action -1", "#00:00:00#\r\n#TRUE#\r\n-1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action 1x", "#00:00:00#\r\n#TRUE#\r\n1x\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"action missing", "#00:00:00#\r\n#TRUE#\r\n\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"hour 24", "#24:00:00#\r\n" + std::string(kRest)},
        RejectCase{"minute 60", "#12:60:00#\r\n" + std::string(kRest)},
        RejectCase{"no such date", "#2023-02-29 07:30:00#\r\n" + std::string(kRest)},
        RejectCase{"date and time run together", "#1899-12-3007:30:00#\r\n" + std::string(kRest)},
        RejectCase{"time unquoted by #", "07:30:00\r\n" + std::string(kRest)},
        RejectCase{"boolean as time", "#TRUE#\r\n" + std::string(kRest)},
        RejectCase{"boolean misspelt", "#00:00:00#\r\n#YES#\r\n1\r\n\"\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"path without quotes", "#00:00:00#\r\n#TRUE#\r\n1\r\nC:\\a.wav\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"unterminated quote", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"C:\\a.wav\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"text after the value", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"a\",b\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"CR inside a line", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"a\rb\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"not CP932", "#00:00:00#\r\n#TRUE#\r\n1\r\n\"\x80\"\r\n\"\"\r\n\"EOF\"\r\n"},
        RejectCase{"key code that does not parse", WithKey("x", "{NOPE}")},
        RejectCase{"key code empty", WithKey("x", "")}, RejectCase{"bare letter", WithKey("a", "a")},
        RejectCase{"two characters in braces", WithKey("ab", "{ab}")},
        RejectCase{"over 1 MiB", std::string(kHead) + "\"EOF\"\r\n" + std::string(kMaxAlmFileSize, ' ')}));

} // namespace
} // namespace kadrill::alarm
