// The protocol's line, both ends: escapes, UTF-8, numbers.
#include "tools/protocol/Line.h"

#include <gtest/gtest.h>

using namespace borne::protocol;

TEST(ProtocolLine, EscapesAreTheFourAndRoundTrip) {
    const std::string text = "a\\b\tc\nd\re \xC3\xA9";
    EXPECT_EQ(escaped(text), "a\\\\b\\tc\\nd\\re \xC3\xA9");
    std::string back;
    ASSERT_TRUE(unescaped(escaped(text), back));
    EXPECT_EQ(back, text);
    for (const char* bad : {"\\", "a\\x", "\\0", "end\\"})
        EXPECT_FALSE(unescaped(bad, back)) << bad;
}

TEST(ProtocolLine, OnlyWellFormedUtf8IsTaken) {
    for (const char* good : {"", "plain", "caf\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(validUtf8(good)) << good;
    for (const char* bad : {"\xE9", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE2\x82", "\xFF"})
        EXPECT_FALSE(validUtf8(bad)) << bad;
}

TEST(ProtocolLine, NumbersAreDecimalWithAnOptionalMinus) {
    std::int64_t v = 0;
    EXPECT_TRUE(number("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(number("0", v));
    EXPECT_EQ(v, 0);
    for (const char* bad : {"", "-", "+1", " 1", "1 ", "0x10", "1.5", "9999999999999999999"})
        EXPECT_FALSE(number(bad, v)) << bad;
}

TEST(ProtocolLine, FieldsAreCutAtEachTab) {
    EXPECT_EQ(fields("call\t1\tAfficher\t\tx"),
              (std::vector<std::string_view>{"call", "1", "Afficher", "", "x"}));
    EXPECT_EQ(fields("turn"), (std::vector<std::string_view>{"turn"}));
}
