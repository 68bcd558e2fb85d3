// A decoder sink that records what the decoders do, in order, for tests.
#pragma once

#include "crmcontrol/decoder_sink.h"

#include <string>
#include <vector>

namespace crmcontrol::testing {

struct RecordedCall {
    std::string serial, lineNumber, date, time, number;
};

class RecordingSink : public DecoderSink {
public:
    bool Device2Seen = false;
    std::vector<RecordedCall> calls;
    std::vector<int> stagedLines;
    // Lines staged while a handler was still running (must stay empty).
    std::vector<int> stagedInsideHandler;

    std::string deviceSerialNumber(int device) override {
        return device == 1 ? "0000A1B2" : "0000C3D4";
    }
    bool device2Seen() override { return Device2Seen; }
    std::string dateText() override { return "10.12.2026"; }
    std::string timeText() override { return "10:01:41"; }
    void OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber, std::string& CallDate,
                    std::string& CallTime, std::string& PhoneNumber) override {
        inHandler_ = true;
        calls.push_back({DeviceSerialNumber, LineNumber, CallDate, CallTime, PhoneNumber});
        inHandler_ = false;
    }
    void setLineStage(int lineIndex) override {
        stagedLines.push_back(lineIndex);
        if (inHandler_)
            stagedInsideHandler.push_back(lineIndex);
    }

private:
    bool inHandler_ = false;
};

} // namespace crmcontrol::testing
