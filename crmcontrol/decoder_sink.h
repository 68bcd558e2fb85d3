// What a line's decoders need from the control when they raise a call: the
// device facts and the host clock as they stand at that moment, the event itself,
// and the other lines' stage. The control's core implements it; tests observe it.
#pragma once

#include <string>

namespace crmcontrol {

class DecoderSink {
public:
    virtual ~DecoderSink() = default;

    // DeviceSerialNumber_1 or DeviceSerialNumber_2 (device 1 or 2).
    virtual std::string deviceSerialNumber(int device) = 0;
    virtual bool device2Seen() = 0;
    // The host's current date and time as text.
    virtual std::string dateText() = 0;
    virtual std::string timeText() = 0;

    // OnCallerID to the host; returns when the host's handler has returned. The
    // arguments are the decoder's own texts (PhoneNumber is the line's
    // DecodedNumber, which nothing reads afterwards), so nothing a handler assigns
    // reaches the serials or the device state.
    virtual void OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber,
                            std::string& CallDate, std::string& CallTime,
                            std::string& PhoneNumber) = 0;

    // LineStage := True on line k (LineIndex 1..8).
    virtual void setLineStage(int lineIndex) = 0;
};

} // namespace crmcontrol
