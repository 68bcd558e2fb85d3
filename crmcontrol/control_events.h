// What the CRM control's core needs from its host and hands to it: the three
// events (every argument by reference, so a value the host's handler assigns
// reaches the control) and the host's clock and random numbers. The COM shell
// implements both over the real host; tests implement them over fakes.
#pragma once

#include <string>

namespace crmcontrol {

class ControlEvents {
public:
    virtual ~ControlEvents() = default;
    virtual void OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber,
                            std::string& CallDate, std::string& CallTime,
                            std::string& PhoneNumber) = 0;
    virtual void OnDeviceConnection(std::string& DeviceSerialNumber_1,
                                    std::string& DeviceSerialNumber_2) = 0;
    virtual void OnDeviceDisconnected(std::string& DeviceSerialNumber_1,
                                      std::string& DeviceSerialNumber_2) = 0;
};

class HostServices {
public:
    virtual ~HostServices() = default;
    // The host clock's date and time as text in the system's formats (UTF-8).
    virtual std::string dateText() = 0;
    virtual std::string timeText() = 0;
    // The run time's random generator: a value in [0, 1).
    virtual double Rnd() = 0;
};

} // namespace crmcontrol
