#include "standin/callerid_device.h"

#include "signalpath/descramble.h"

#include <algorithm>

namespace standin {

void CallerIdDeviceSource::fillInputReport(platform::Microseconds firstSample,
                                           std::span<std::uint8_t> report) {
    std::fill(report.begin(), report.end(), std::uint8_t{0}); // report id 0
    const std::int64_t first = sampleAtMicroseconds(firstSample.count());
    for (int g = 0; g < kGroupsPerReport; ++g)
        for (int p = 1; p <= kLinesPerDevice; ++p) {
            const std::size_t at = static_cast<std::size_t>(4 * g + p);
            if (at < report.size())
                report[at] = signalpath::scramble(p, lines_[p - 1].valueAt(first + g));
        }
}

} // namespace standin
