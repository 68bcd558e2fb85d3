// A line's capture as the control takes it from a synthesized caller-ID burst:
// 1,792 samples from where the control's capture starts, a little after the
// message's first start bit, offset by the line's zero level, clipped to 0..255
// and scrambled by the line's position in the sample group, as the device sends
// them.
#pragma once

#include "crmcontrol/line_decoder.h"
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"

#include <span>
#include <vector>

namespace crmcontrol::testing {

// Where the control's capture of a burst starts, by the phase of the message's
// first start bit: the sample of its report (0..15) on which it falls. The line
// watch triggers on the first report after the mark in which no trial shows the
// mark: the start bit's own report for phases 0 to 8, the next one for 9 to 15;
// the capture takes the reports after it. As a lead (negative: samples after the
// start bit), measured through the whole control on the simulated bus.
inline constexpr int kReportPhases = 16;
constexpr int controlLead(int phase) {
    return phase <= 8 ? phase - 16 : phase - 32;
}

struct CaptureSpec {
    standin::MessageFormat format = standin::MessageFormat::MultipleData;
    standin::CallInfo call;
    int lineIndex = 1;
    int zeroLevel = 131;
    // Samples of mark before the message's first start bit at which the capture
    // starts; the control's captures start after it (controlLead).
    int leadSamples = controlLead(0);
    standin::FskSettings fsk;
};

inline constexpr int kMarkBitsBeforeMessage = 30;

// Zero-centred line values of the capture of a burst carrying `message` (0 after
// the carrier stops); the format and call that `spec` names are not used.
inline std::vector<int> captureValues(std::span<const std::uint8_t> message,
                                      const CaptureSpec& spec) {
    standin::BurstLayout layout;
    layout.seizureBits = 0;
    layout.markBits = kMarkBitsBeforeMessage;
    const standin::Signal signal = standin::modulate(standin::burstBits(message, layout), spec.fsk);
    const double samplesPerBit = standin::kSampleRate / spec.fsk.baud;
    const int messageStart = static_cast<int>(kMarkBitsBeforeMessage * samplesPerBit + 0.5);
    std::vector<int> x(kCaptureSamples, 0);
    for (int i = 0; i < kCaptureSamples; ++i) {
        const int s = messageStart - spec.leadSamples + i;
        if (s >= 0 && s < static_cast<int>(signal.size()))
            x[static_cast<std::size_t>(i)] = signal[static_cast<std::size_t>(s)];
    }
    return x;
}

// Zero-centred line values of the capture of the call that `spec` names.
inline std::vector<int> captureValues(const CaptureSpec& spec) {
    return captureValues(standin::buildMessage(spec.format, spec.call), spec);
}

// The raw capture buffer (1,793 entries, as the control keeps it) for values x.
inline std::vector<int> rawCapture(const std::vector<int>& x, int lineIndex, int zeroLevel) {
    std::vector<int> raw(kCaptureSamples + 1, 0);
    const int position = lineMember(lineIndex).position;
    for (std::size_t i = 0; i < x.size(); ++i) {
        int v = zeroLevel + x[i];
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        raw[i] = signalpath::scramble(position, static_cast<signalpath::SampleValue>(v));
    }
    return raw;
}

inline std::vector<int> rawCapture(const CaptureSpec& spec) {
    return rawCapture(captureValues(spec), spec.lineIndex, spec.zeroLevel);
}

} // namespace crmcontrol::testing
