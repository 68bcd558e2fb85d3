// The serial that the CRM control and the recorder derive from an interface path.
#include "devicelink/path_serial.h"

#include <gtest/gtest.h>

namespace devicelink {
namespace {

TEST(PathSerial, TakesTheTextBetweenTheSecondAndThirdAmpersand) {
    struct Case {
        const char* path;
        const char* serial;
    };
    const Case cases[] = {
        {"\\\\?\\hid#vid_04d8&pid_c5a7#7&1a2b3c4d&0&0000#{4d1e}", "1a2b3c4d"},     // 8: as is
        {"\\\\?\\hid#vid_04d8&pid_c5a7#7&ab12c&0&0000#{4d1e}", "000ab12c"},        // 5: three "0"
        {"\\\\?\\hid#vid_04d8&pid_c5a7#7&0123456789&0&0000#{4d1e}", "0123456789"}, // 10: all
        {"a&b&&c", "00000000"},                                                    // empty segment
        {"", "0"},                                                                 // no device
        {"a&b&c", "0"},   // the last character is not examined: two "&" only
        {"a&b&cd&", "0"}, // nor is a final "&"
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathSerial(c.path), c.serial) << "path " << c.path;
}

} // namespace
} // namespace devicelink
