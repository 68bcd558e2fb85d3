// The reading thread of a checked-out device: one overlapped read at a time, an
// alertable wait in slices, and every report (or failed read) handed to the device's
// handler on the user-interface thread, the reader waiting until the handler has run.
#pragma once

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace hidcontroller {

class THidDevice;
class UiCallQueue;

class THidDeviceReadThread {
public:
    // Made suspended (CreateReadThread); the buffer is sized from the device's
    // capabilities.
    explicit THidDeviceReadThread(THidDevice& device);
    // Ends the thread as StopReadThread does, when that was not done.
    ~THidDeviceReadThread();
    THidDeviceReadThread(const THidDeviceReadThread&) = delete;
    THidDeviceReadThread& operator=(const THidDeviceReadThread&) = delete;

    void resume();
    void terminate() { terminated_ = true; }
    bool terminated() const { return terminated_; }
    bool finished() const { return finished_; }
    // On the user-interface thread: waits for the thread to end, running the calls
    // handed over meanwhile, then joins it. A call run meanwhile may wait for it too
    // (nested); whichever wait sees it end first joins it.
    void waitFor();

    platform::Dword ReadError() const { return ReadError_; }
    std::size_t reportBufferSize() const { return ReportBuffer_.size(); }

private:
    void ReadLoop();
    void DeliverReport();
    void DeliverReadError();
    void handOver(void (THidDeviceReadThread::*deliver)());
    static void ReadCompletionRoutine(platform::Dword errorCode, platform::Dword bytes,
                                      platform::Overlapped* overlapped);

    platform::Dword ReadError_ = 0;
    THidDevice& Device_;
    UiCallQueue& calls_;
    platform::Dword ReadCount_ = 0;
    std::vector<std::uint8_t> ReportBuffer_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace hidcontroller
