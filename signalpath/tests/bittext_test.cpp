#include "signalpath/bittext.h"

#include <gtest/gtest.h>

namespace signalpath {
namespace {

TEST(BitText, MsbFirstWriter) {
    const std::pair<int, const char*> cases[] = {
        {0, "00000000"}, {5, "00000101"}, {128, "10000000"}, {255, "11111111"}, {1, "00000001"}};
    for (auto [n, text] : cases)
        EXPECT_EQ(DesimaldenBinarye(n), text) << "n = " << n;
}

TEST(BitText, LsbFirstReader) {
    const std::pair<const char*, int> cases[] = {
        {"10000000", 1}, {"00000001", 128}, {"00110000", 12}, {"00000000", 0}, {"10100000", 5}};
    for (auto [text, v] : cases)
        EXPECT_EQ(BinarydenDesimale(text), v) << "text " << text;
}

TEST(BitText, TheTwoConventionsMirrorEachOther) {
    for (int v = 0; v < 256; ++v) {
        int reversed = 0;
        for (int bit = 0; bit < 8; ++bit)
            if ((v >> bit) & 1)
                reversed |= 1 << (7 - bit);
        ASSERT_EQ(BinarydenDesimale(DesimaldenBinarye(v)), reversed) << "v = " << v;
    }
}

} // namespace
} // namespace signalpath
