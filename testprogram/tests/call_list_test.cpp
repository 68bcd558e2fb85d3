// The call list's texts: the row layout and the counter's arithmetic on text.
#include "testprogram/call_list.h"

#include <gtest/gtest.h>

using testprogram::callRow;
using testprogram::nextCallCount;

TEST(CallRow, JoinsTheRecordWithThreeBlanks) {
    EXPECT_EQ(callRow(L"0000ABCD", L"3", L"10.12.2026", L"10:15:30", L"05321234567"),
              L"0000ABCD   3   10.12.2026   10:15:30   05321234567");
    EXPECT_EQ(callRow(L"", L"", L"", L"", L""), L"            ");
}

TEST(NextCallCount, AddsOneToTheNumberAtTheStart) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"0", L"1"}, {L"9", L"10"},  {L"41", L"42"},    {L"  7", L"8"},
        {L"", L"1"},  {L"abc", L"1"}, {L"12abc", L"13"}, {L"-3", L"-2"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(nextCallCount(text), expected) << "counter text \"" << text << "\"";
}
