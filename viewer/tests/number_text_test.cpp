#include "viewer/number_text.h"

#include <gtest/gtest.h>

namespace viewer {
namespace {

TEST(ReadNumber, TakesTheNumberAtTheStartOfTheText) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"155", 155}, {"  42 ", 42}, {"1 2 3", 123}, {"12.5", 12.5}, {"12.5.7", 12.5}, {"-5", -5},
        {" - 5", -5}, {"+7", 7},     {"12abc", 12},  {"abc", 0},     {"", 0},          {".", 0},
        {"-", 0},     {".5", 0.5},   {"5.", 5},      {"0", 0},       {"20600", 20600}, {"1e3", 1},
        {"--5", 0},   {"7-3", 7},    {"\t9\r\n", 9}, {"3,5", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readNumber(c.text), c.value) << "text \"" << c.text << "\"";
}

TEST(WriteNumber, WritesPlainDecimalText) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {42, "42"},       {20600, "20600"},
        {12.5, "12.5"},   {-5, "-5"},
        {0, "0"},         {-0.0, "0"},
        {25608, "25608"}, {25608.5, "25608.5"},
        {0.1, "0.1"},     {1e21, "1000000000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(writeNumber(c.value), c.text) << "value " << c.value;
}

TEST(IndexRounding, RoundsHalvesToTheEvenNeighbour) {
    const struct {
        double value;
        double rounded;
    } cases[] = {{12.5, 12}, {13.5, 14}, {14.5, 14}, {0.5, 0},   {1.5, 2},
                 {2.4, 2},   {2.6, 3},   {-0.5, 0},  {-1.5, -2}, {25608, 25608}};
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(c.value), c.rounded) << "value " << c.value;
}

TEST(IndexRounding, GivesAnIndexOnlyInsideTheBounds) {
    EXPECT_EQ(indexIn(4.5, 4), 4);
    EXPECT_EQ(indexIn(-0.5, 4), 0);
    EXPECT_FALSE(indexIn(4.6, 4));
    EXPECT_FALSE(indexIn(-0.6, 4));
    EXPECT_FALSE(indexIn(1e300, 4));
    EXPECT_FALSE(indexIn(std::numeric_limits<double>::quiet_NaN(), 4));
}

} // namespace
} // namespace viewer
