#include "standin/callerid_device.h"

#include "signalpath/descramble.h"

#include <algorithm>
#include <iterator>

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

bool isStartCommand(std::span<const std::uint8_t> r) {
    static constexpr std::uint8_t head[] = {0, 25, 17, 'N', 'o', 'r', 'v', 'e', 'l', 'l', 'i', 'x'};
    static constexpr std::uint8_t tail[] = {4, 0, 9, 6, 'm', 'V', 25, 129};
    return r.size() == 65 && std::equal(std::begin(head), std::end(head), r.begin()) &&
           std::equal(std::begin(tail), std::end(tail), r.begin() + 57);
}

void WaitsForStartCommand::fillInputReport(platform::Microseconds firstSample,
                                           std::span<std::uint8_t> report) {
    if (inner_)
        inner_->fillInputReport(firstSample, report);
}

void WaitsForStartCommand::outputReport(std::span<const std::uint8_t> report) {
    if (!started_ && isStartCommand(report))
        started_ = true;
}

} // namespace standin
