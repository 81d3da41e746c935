#include "base/Texte.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace borne;

TEST(CopierBorne, CutsToTheFieldAndAlwaysTerminates) {
    char champ[5];
    std::memset(champ, 'x', sizeof champ);
    EXPECT_EQ(copierBorne(champ, "60821"), 4u);
    EXPECT_STREQ(champ, "6082");
    EXPECT_EQ(copierBorne(champ, ""), 0u);
    EXPECT_STREQ(champ, "");
}

TEST(CopierBorne, NeverWritesPastTheField) {
    char zone[8];
    std::memset(zone, '#', sizeof zone);
    copierBorne(zone, 3, "abcdef");
    EXPECT_EQ(std::string(zone, 3), std::string("ab\0", 3));
    EXPECT_EQ(zone[3], '#');
    copierBorne(zone, 0, "abc"); // a field of no byte takes nothing, not even a terminator
    EXPECT_EQ(zone[0], 'a');
}

TEST(CopierBorne, CopiesFromAnOverlappingSource) {
    char champ[10] = "abcdef";
    copierBorne(champ, std::string_view(champ + 2, 4));
    EXPECT_STREQ(champ, "cdef");
}

TEST(TexteDe, StopsAtTheFieldEndWhenTheTerminatorIsMissing) {
    char champ[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(texteDe(champ), "abcd");
}

struct Conversion {
    const char* nom;
    std::string cp1252;
    std::string utf8;
};

class Utf8 : public ::testing::TestWithParam<Conversion> {};

TEST_P(Utf8, BothWays) {
    EXPECT_EQ(versUtf8(GetParam().cp1252), GetParam().utf8);
    EXPECT_EQ(depuisUtf8(GetParam().utf8), GetParam().cp1252);
}

INSTANTIATE_TEST_SUITE_P(Cp1252, Utf8,
                         ::testing::Values(Conversion{"ascii", "Bonjour!", "Bonjour!"},
                                           Conversion{"e_acute", "Gardien appel\xE9",
                                                      "Gardien appel\xC3\xA9"},
                                           Conversion{"e_grave", "Ev\xE8nement", "Ev\xC3\xA8nement"},
                                           Conversion{"euro_from_the_0x80_range", "\x80", "\xE2\x82\xAC"},
                                           Conversion{"oe_ligature", "\x9C", "\xC5\x93"},
                                           Conversion{"y_diaeresis", "\xFF", "\xC3\xBF"}),
                         [](const auto& info) { return std::string(info.param.nom); });

TEST(Utf8, WhatCp1252CannotHoldBecomesOneQuestionMark) {
    EXPECT_EQ(depuisUtf8("a\xE2\x86\x92z"), "a?z"); // an arrow
    EXPECT_EQ(depuisUtf8("\xF0\x9F\x9A\x97"), "?"); // a car, four bytes
    EXPECT_EQ(depuisUtf8("\xC3"), "?");             // cut short
    EXPECT_EQ(depuisUtf8("\xC0\xAF"), "?");         // overlong
    EXPECT_EQ(depuisUtf8("\xFFok"), "?ok");         // not UTF-8 at all
}

TEST(Minuscules, AccentedCapitalsIncluded) {
    EXPECT_EQ(enMinusculesCp1252("-     Mode Test      -"), "-     mode test      -");
    EXPECT_EQ(enMinusculesCp1252("\xC9T\xC9 \xC0 \xC7"
                                 "A \xD6\xDE"),
              "\xE9t\xE9 \xE0 \xE7"
              "a \xF6\xFE");
    EXPECT_EQ(enMinusculesCp1252("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");
    EXPECT_EQ(enMinusculesCp1252("\xD7\xDF"), "\xD7\xDF"); // the multiplication sign and sharp s stay
}
