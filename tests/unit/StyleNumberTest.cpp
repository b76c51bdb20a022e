#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "settings/BarSettings.h"

namespace nimbrel {
namespace {

struct NumberCase {
    const char* text;
    double value;
};

TEST(ReadStyleNumber, ReadsTheLongestLeadingNumber) {
    const NumberCase cases[] = {
        {"2", 2},       {"  2", 2},   {"2x", 2},    {"-5", -5},     {"+3", 3},    {"2.5", 2.5}, {".5", 0.5},
        {"3.", 3},      {"1e1", 10},  {"1E+1", 10}, {"25e-1", 2.5}, {"1d1", 10},  {"1e", 1},    {"1e+", 1},
        {"2.5.1", 2.5}, {"abc", 0},   {"", 0},      {"-", 0},       {"+-1", 0},   {".", 0},     {"1 2", 12},
        {"\t1\t2", 12}, {"1\n2", 12}, {"- 3", -3},  {"1,5", 1},     {"&H10", 16}, {"&hA", 10},  {"&H", 0},
        {"&HG", 0},     {"&O17", 15}, {"&o8", 0},   {"& H1", 1},    {"&", 0},     {"&X1", 0},   {"0x10", 0},
        {"\r2", 0},     {"1_000", 1}, {"00003", 3}, {"3 . 5", 3.5}, {"-0", 0},
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(ReadStyleNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReadStyleNumber, HugeNumbersDoNotWrapAround) {
    EXPECT_TRUE(std::isinf(ReadStyleNumber("1e999")));
    EXPECT_GT(ReadStyleNumber("99999999999999999999"), 3.0);
    EXPECT_GT(ReadStyleNumber("&HFFFFFFFFFFFFFFFFFFFF"), 3.0);
    EXPECT_EQ(ReadStyleNumber(std::string(100000, '0') + "2"), 2.0);
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
    EXPECT_EQ(RoundHalfEven(-7.2), -7.0);
}

TEST(StyleFromValue, OnlyOneToThreeSurviveEverythingElseIsOne) {
    const std::pair<const char*, int> cases[] = {
        {"0", 1},   {"-5", 1},  {"abc", 1},   {"", 1},      {"4", 1},      {"3", 3},     {"1", 1},      {"2", 2},
        {" 2", 2},  {"2.5", 2}, {"3.5", 1},   {"2x", 2},    {"0.5", 1},    {"0.51", 1},  {"1.5", 2},    {"3.49", 3},
        {"&H3", 3}, {"&O2", 2}, {"32768", 1}, {"70000", 1}, {"-32769", 1}, {"1e999", 1}, {"-1e999", 1}, {"2e0", 2},
    };
    for (const auto& [text, style] : cases)
        EXPECT_EQ(StyleFromValue(text), style) << '"' << text << '"';
}

}  // namespace
}  // namespace nimbrel
