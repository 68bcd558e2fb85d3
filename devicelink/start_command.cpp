#include "devicelink/start_command.h"

#include <cmath>
#include <cstdint>
#include <iterator>

namespace devicelink {

namespace {

constexpr std::uint8_t kCommandHead[] = {25, 17, 'N', 'o', 'r', 'v', 'e', 'l', 'l', 'i', 'x'};
constexpr std::uint8_t kCommandTail[] = {4, 0, 9, 6, 'm', 'V', 25, 129};
constexpr int kFillerFirst = 11;
constexpr int kFillerLast = 55;
constexpr int kTailFirst = 56;

} // namespace

void BuildStartCommand(ReportBuffer& out, const std::function<double()>& rnd, FillerRule rule) {
    for (std::size_t i = 0; i < std::size(kCommandHead); ++i)
        out[i] = kCommandHead[i];
    for (std::size_t i = 0; i < std::size(kCommandTail); ++i)
        out[kTailFirst + i] = kCommandTail[i];
    DrawStartCommandFiller(out, rnd, rule);
}

void DrawStartCommandFiller(ReportBuffer& out, const std::function<double()>& rnd,
                            FillerRule rule) {
    const double lift = rule == FillerRule::OneTo255 ? 1.0 : 0.0;
    const double top = rule == FillerRule::OneTo255 ? 255.0 : 254.0;
    for (int i = kFillerFirst; i <= kFillerLast; ++i) {
        // A generator value outside [0, 1) is held to that range rather than trusted.
        double r = rnd();
        if (!(r >= 0.0))
            r = 0.0;
        const double v = std::floor(r * 255.0 + lift);
        out[i] = static_cast<std::uint8_t>(v > top ? top : v);
    }
}

} // namespace devicelink
