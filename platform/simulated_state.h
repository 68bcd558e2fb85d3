// The simulated bus's whole state behind one lock: devices, the clock and its
// schedule, every object handed out (kept after closing, so that misuse shows), and
// the per-thread last errors and queued completion routines. Private to the bus.
#pragma once

#include "platform/simulated_bus.h"

#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

// OVERLAPPED.Internal while an operation is pending, and its outcomes.
inline constexpr std::uintptr_t kStatusPending = 0x103;
inline constexpr std::uintptr_t kStatusSuccess = 0;
inline constexpr std::uintptr_t kStatusCancelled = 0xC0000120;
inline constexpr std::uintptr_t kStatusDeviceNotConnected = 0xC000009D;

// HID's own limits of the input-buffer count, and its default.
inline constexpr Dword kMinInputBuffers = 2;
inline constexpr Dword kMaxInputBuffers = 512;
inline constexpr Dword kDefaultInputBuffers = 32;

struct EventObject {
    bool manualReset = true;
    bool signalled = false;
};

// One read that waits for a report (overlapped, ReadFileEx or blocking).
struct PendingRead {
    Overlapped* overlapped = nullptr;
    std::uint8_t* buffer = nullptr;
    CompletionRoutine routine = nullptr;
    std::thread::id thread;
    std::shared_ptr<EventObject> event; // overlapped ReadFile's event, if any
    std::shared_ptr<bool> done;         // blocking reads wait for this
    std::shared_ptr<Dword> error;       // and read the outcome from here
};

struct FileObject {
    DeviceId device = 0;
    unsigned generation = 0; // the device's plug-in this handle belongs to
    bool read = false;
    bool write = false;
    Dword share = 0;
    bool overlapped = false;
    Dword inputBuffers = kDefaultInputBuffers;
    std::deque<std::vector<std::uint8_t>> queue;
    std::list<PendingRead> pending;
};

// What a value handed out by the bus stands for. The kind sits in bits 2 and 3 (the
// platform's handles are multiples of four), so that a value that is gone is still
// known for what it was without keeping anything of it.
enum class ValueKind { Kernel = 0, Set = 1, Preparsed = 2, Module = 3 };

struct KernelObject {
    std::shared_ptr<EventObject> event; // an event, or
    std::shared_ptr<FileObject> file;   // a device handle
};

struct SetEntry {
    DeviceId device = 0;
    std::string path;
    Dword devInst = 0;
    bool present = false;
};

struct DeviceSet {
    std::vector<SetEntry> entries;
};

struct PreparsedObject {
    DeviceId device = 0;
};

struct ModuleObject {
    std::size_t library = 0;
    int references = 0;
};

struct Apc {
    CompletionRoutine routine = nullptr;
    Dword error = 0;
    Dword bytes = 0;
    Overlapped* overlapped = nullptr;
};

struct SimulatedDevice {
    DeviceDescription description;
    std::string path;
    std::unique_ptr<ReportSource> source;
    Dword devInst = 0;
    bool plugged = false;
    unsigned generation = 0;
    Microseconds nextReport{0}; // first-sample time of the next report to make
    std::vector<OutputReport> outputs;
    int openHandles = 0;
    int handlesOpened = 0;
    int preparsedHeld = 0;

    bool streaming() const { return !source || source->streaming(); }
};

struct SimulatedBus::State {
    explicit State(ClockMode m);

    std::mutex mutex;
    std::condition_variable changed;
    ClockMode mode;
    std::chrono::steady_clock::time_point wallStart;
    Microseconds virtualNow{0};

    std::vector<SimulatedDevice> devices;
    std::multimap<Microseconds, std::pair<DeviceId, DeviceAction>> schedule;
    // Only what is open, created or loaded now; closing removes it.
    std::map<std::intptr_t, KernelObject> objects;
    std::map<std::intptr_t, DeviceSet> sets;
    std::map<std::intptr_t, PreparsedObject> preparsed;
    std::map<std::intptr_t, ModuleObject> modules; // with references > 0
    // Per value ever handed out: the device it belongs to, or -1 (for the audit).
    std::vector<std::int32_t> issuedDevice;
    std::map<std::thread::id, std::deque<Apc>> apcs;
    std::map<std::thread::id, Dword> lastErrors;
    std::vector<Misuse> misuse;

    std::map<int, std::function<void()>> listeners;
    int nextListener = 1;
    int pendingBroadcasts = 0;

    PlatformVersion version;
    std::set<std::string> hiddenModules;                         // lower case
    std::set<std::pair<std::string, std::string>> hiddenExports; // library lower case

    bool stopping = false;
    std::thread timer; // real time only: runs scheduled actions when nobody calls

    std::intptr_t newValue(ValueKind kind, std::int32_t device = -1);
    bool wasIssued(std::intptr_t value, ValueKind kind) const;
    Microseconds clockNow() const;
    // Brings devices and the schedule up to time t (moving the virtual clock in fast mode).
    void advanceTo(Microseconds t);
    void sync() { advanceTo(clockNow()); }
    void doAction(DeviceId device, DeviceAction action, Microseconds at);
    // Time of the next report some handle would receive, or of the next action.
    Microseconds nextEventTime() const;
    // Waits until `satisfied` holds or the deadline (bus time) passes; true if it held.
    template <class Pred>
    bool waitUntil(std::unique_lock<std::mutex>& lock, Pred satisfied,
                   std::optional<Microseconds> deadline);

    void produceReports(DeviceId device, Microseconds upTo);
    void deliver(FileObject& file, const std::vector<std::uint8_t>& report);
    void complete(PendingRead& read, std::uintptr_t status, Dword error, Dword bytes);
    void abortPending(FileObject& file, Dword error, bool callerOnly);
    bool fileIsLive(const FileObject& file) const;

    void setLastError(Dword code) { lastErrors[std::this_thread::get_id()] = code; }
    void recordMisuse(MisuseKind kind, const char* call, std::intptr_t value);
    // Calls the listeners for the broadcasts that fell due, with the lock released.
    void releaseAndBroadcast(std::unique_lock<std::mutex>& lock);
    void timerLoop();
};

template <class Pred>
bool SimulatedBus::State::waitUntil(std::unique_lock<std::mutex>& lock, Pred satisfied,
                                    std::optional<Microseconds> deadline) {
    for (;;) {
        advanceTo(clockNow());
        if (satisfied())
            return true;
        const Microseconds now = clockNow();
        if (deadline && now >= *deadline)
            return false;
        Microseconds target = nextEventTime();
        if (deadline && *deadline < target)
            target = *deadline;
        if (target == Microseconds::max()) {
            changed.wait(lock); // only another thread can change anything now
        } else if (mode == ClockMode::Fast) {
            advanceTo(target);
            changed.notify_all();
        } else {
            changed.wait_until(lock, wallStart + target);
        }
    }
}

// Holds the bus lock for one call, brings the clock up to date first and delivers
// the broadcasts that fell due once the lock is released.
class BusCall {
public:
    explicit BusCall(SimulatedBus::State& state) : state_(state), lock_(state.mutex) {
        state_.sync();
    }
    ~BusCall() {
        if (lock_.owns_lock())
            state_.releaseAndBroadcast(lock_);
    }
    BusCall(const BusCall&) = delete;
    BusCall& operator=(const BusCall&) = delete;
    std::unique_lock<std::mutex>& lock() { return lock_; }
    void release() { state_.releaseAndBroadcast(lock_); }

private:
    SimulatedBus::State& state_;
    std::unique_lock<std::mutex> lock_;
};

} // namespace platform
