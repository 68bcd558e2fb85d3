// A line's capture as the control takes it from a synthesized caller-ID burst:
// the 1,792 samples that follow the end of the mark run (less a short lead),
// offset by the line's zero level, clipped to 0..255 and scrambled by the line's
// position in the sample group, as the device sends them.
#pragma once

#include "crmcontrol/line_decoder.h"
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"

#include <vector>

namespace crmcontrol::testing {

struct CaptureSpec {
    standin::MessageFormat format = standin::MessageFormat::MultipleData;
    standin::CallInfo call;
    int lineIndex = 1;
    int zeroLevel = 131;
    int leadSamples = 13; // of mark before the message's first start bit
    standin::FskSettings fsk;
};

inline constexpr int kMarkBitsBeforeMessage = 30;

// Zero-centred line values of the capture (0 after the carrier stops).
inline std::vector<int> captureValues(const CaptureSpec& spec) {
    const auto message = standin::buildMessage(spec.format, spec.call);
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
