// The read loop: one overlapped read at a time, alertable waits in slices, every
// report or failed read handed to the user-interface thread and awaited.
#include "hidcontroller/hid_device_read_thread.h"

#include "hidcontroller/hid_device.h"
#include "hidcontroller/ui_call_queue.h"

#include <algorithm>

namespace hidcontroller {

using namespace platform;

THidDeviceReadThread::THidDeviceReadThread(THidDevice& device)
    : Device_(device), calls_(*device.calls()) {
    HidCaps caps;
    device.GetCapabilities(caps);
    ReportBuffer_.resize(caps.InputReportByteLength);
}

THidDeviceReadThread::~THidDeviceReadThread() {
    if (thread_.joinable()) {
        terminate();
        waitFor();
    }
}

void THidDeviceReadThread::resume() {
    thread_ = std::thread([this] {
        ReadLoop();
        finished_ = true;
        calls_.notify(); // the device may be gone by now: only the queue is touched
    });
}

void THidDeviceReadThread::waitFor() {
    if (!thread_.joinable())
        return;
    calls_.serveUntil([this] { return finished_.load(); });
    if (thread_.joinable())
        thread_.join();
}

void THidDeviceReadThread::ReadCompletionRoutine(Dword, Dword, Overlapped*) {
    // Nothing to do: being queued ends the reader's alertable wait.
}

void THidDeviceReadThread::handOver(void (THidDeviceReadThread::*deliver)()) {
    // A closed queue (the user-interface thread is gone) drops the call. Named by this
    // thread, so that a stop from inside it can wait for its return.
    (void)calls_.runAndWait([this, deliver] { (this->*deliver)(); }, this);
}

void THidDeviceReadThread::DeliverReport() {
    const THidDataEvent& handler = Device_.DataHandler();
    if (handler)
        handler(Device_, ReportBuffer_[0], ReportBuffer_.data() + 1,
                static_cast<std::uint16_t>(ReadCount_ - 1));
}

void THidDeviceReadThread::DeliverReadError() {
    if (const THidDataErrorEvent& handler = Device_.DataErrorHandler())
        handler(Device_, ReadError_);
}

void THidDeviceReadThread::ReadLoop() {
    Api& api = Device_.api();
    Dword lastWait = kWaitIoCompletion;
    while (!terminated_) {
        lastWait = kWaitIoCompletion;
        HidCaps caps;
        Device_.GetCapabilitiesFetched(caps);
        // The buffer was sized once; a device that now claims longer reports gets no
        // more than that.
        const auto length = static_cast<Dword>(
            std::min<std::size_t>(caps.InputReportByteLength, ReportBuffer_.size()));
        std::fill(ReportBuffer_.begin(), ReportBuffer_.end(), 0);
        if (Device_.ReadReportAsync(ReportBuffer_.data(), length, &ReadCompletionRoutine)) {
            do {
                lastWait = api.SleepEx(static_cast<Dword>(Device_.ReadThreadWait()), true);
            } while (!terminated_ && lastWait != kWaitIoCompletion);
            if (terminated_)
                break;
            ReadCount_ = Device_.GetLastReadCount();
            if (ReadCount_ > 0) // a read that ended with nothing is dropped
                handOver(&THidDeviceReadThread::DeliverReport);
        } else {
            ReadError_ = api.GetLastError();
            handOver(&THidDeviceReadThread::DeliverReadError);
        }
        // A stop from inside the hand-over may have freed the device meanwhile: once
        // terminated, the loop ends without touching it (no read is pending here).
    }
    // Told to stop while a read was pending: cancel it, and take its completion (one
    // wait slice at most) so that nothing is written into the buffer once we are gone.
    if (lastWait != kWaitIoCompletion && Device_.CancelPendingIo(false))
        (void)api.SleepEx(static_cast<Dword>(Device_.ReadThreadWait()), true);
}

} // namespace hidcontroller
