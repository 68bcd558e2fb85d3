// The simulated bus: devices, the clock (real time or fast), scheduled actions,
// report production into the open handles' input buffers, and the audit.
#include "platform/simulated_state.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace platform {

namespace {

Microseconds alignDown(Microseconds t) {
    return (t / kReportInterval) * kReportInterval;
}

std::string defaultInstanceId(std::size_t n) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(0x1a2b3c40u + 0x01101u * n));
    return text;
}

const char* misuseText(MisuseKind kind) {
    switch (kind) {
    case MisuseKind::CloseOfClosedHandle:
        return "closed a handle that was already closed";
    case MisuseKind::ReadOnClosedHandle:
        return "read on a closed handle";
    case MisuseKind::WriteOnClosedHandle:
        return "wrote on a closed handle";
    case MisuseKind::OtherUseOfClosedHandle:
        return "used a closed handle";
    case MisuseKind::FreeOfFreedPreparsedData:
        return "freed preparsed data twice";
    case MisuseKind::DestroyOfDestroyedSet:
        return "destroyed a device-information set twice";
    case MisuseKind::FreeOfFreedModule:
        return "freed or used a module that was no longer loaded";
    case MisuseKind::UseOfUnknownHandle:
        return "used a value the platform never handed out";
    case MisuseKind::NilPreparsedData:
        return "handed nil preparsed data to a parsing call";
    }
    return "misuse";
}

} // namespace

std::string interfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                             const std::string& instanceId) {
    char head[40];
    std::snprintf(head, sizeof head, "\\\\?\\hid#vid_%04x&pid_%04x#7&", vendorId, productId);
    return head + instanceId + "&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

// ---- audit

int Audit::openDeviceHandles() const {
    int n = 0;
    for (const auto& d : devices)
        n += d.openHandles;
    return n;
}

int Audit::preparsedDataHeld() const {
    int n = 0;
    for (const auto& d : devices)
        n += d.preparsedDataHeld;
    return n;
}

bool Audit::clean() const {
    return misuse.empty() && openDeviceHandles() == 0 && preparsedDataHeld() == 0 &&
           openDeviceInfoSets == 0;
}

std::string Audit::describe() const {
    std::ostringstream out;
    for (const auto& d : devices) {
        if (d.openHandles != 0)
            out << d.interfacePath << ": " << d.openHandles << " handle(s) left open\n";
        if (d.preparsedDataHeld != 0)
            out << d.interfacePath << ": " << d.preparsedDataHeld << " preparsed data not freed\n";
    }
    if (openDeviceInfoSets != 0)
        out << openDeviceInfoSets << " device-information set(s) not destroyed\n";
    for (const auto& m : misuse) {
        out << m.call << ": " << misuseText(m.kind) << " (0x" << std::hex << m.value << std::dec
            << ")";
        if (!m.interfacePath.empty())
            out << " on " << m.interfacePath;
        out << "\n";
    }
    return out.str();
}

// ---- state

SimulatedBus::State::State(ClockMode m) : mode(m), wallStart(std::chrono::steady_clock::now()) {}

namespace {
constexpr std::intptr_t kFirstValue = 0x100;
constexpr std::intptr_t kValueStep = 16; // four kinds, each a multiple of four
} // namespace

std::intptr_t SimulatedBus::State::newValue(ValueKind kind, std::int32_t device) {
    const auto serial = static_cast<std::intptr_t>(issuedDevice.size());
    issuedDevice.push_back(device);
    // Never reused, so that a value that is gone stays recognisable.
    return kFirstValue + serial * kValueStep + static_cast<std::intptr_t>(kind) * 4;
}

bool SimulatedBus::State::wasIssued(std::intptr_t value, ValueKind kind) const {
    const std::intptr_t offset = value - kFirstValue;
    return offset >= 0 && offset % kValueStep == static_cast<std::intptr_t>(kind) * 4 &&
           offset / kValueStep < static_cast<std::intptr_t>(issuedDevice.size());
}

Microseconds SimulatedBus::State::clockNow() const {
    if (mode == ClockMode::Fast)
        return virtualNow;
    return std::chrono::duration_cast<Microseconds>(std::chrono::steady_clock::now() - wallStart);
}

bool SimulatedBus::State::fileIsLive(const FileObject& file) const {
    const SimulatedDevice& d = devices[file.device];
    return d.plugged && d.generation == file.generation;
}

void SimulatedBus::State::advanceTo(Microseconds t) {
    for (;;) {
        const bool actionDue = !schedule.empty() && schedule.begin()->first <= t;
        const Microseconds step = actionDue ? schedule.begin()->first : t;
        for (DeviceId d = 0; d < devices.size(); ++d)
            produceReports(d, step);
        if (mode == ClockMode::Fast && step > virtualNow)
            virtualNow = step;
        if (!actionDue)
            return;
        const auto [device, action] = schedule.begin()->second;
        schedule.erase(schedule.begin());
        doAction(device, action, step);
    }
}

void SimulatedBus::State::produceReports(DeviceId id, Microseconds upTo) {
    SimulatedDevice& d = devices[id];
    if (upTo < d.nextReport + kReportInterval)
        return;
    std::int64_t due = (upTo - d.nextReport) / kReportInterval;
    std::vector<FileObject*> targets;
    if (d.plugged && d.streaming() && !d.description.silent) {
        for (auto& [value, object] : objects)
            if (object.file && object.file->device == id && object.file->read &&
                fileIsLive(*object.file))
                targets.push_back(object.file.get());
    }
    if (targets.empty()) {
        d.nextReport += due * kReportInterval;
        return;
    }
    // Reports beyond the largest input buffer would be dropped unread anyway.
    if (due > static_cast<std::int64_t>(kMaxInputBuffers)) {
        d.nextReport += (due - kMaxInputBuffers) * kReportInterval;
        due = kMaxInputBuffers;
    }
    std::vector<std::uint8_t> report(d.description.inputReportLength);
    for (std::int64_t i = 0; i < due; ++i) {
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        if (d.source)
            d.source->fillInputReport(d.nextReport, report);
        for (FileObject* f : targets)
            deliver(*f, report);
        d.nextReport += kReportInterval;
    }
    changed.notify_all();
}

void SimulatedBus::State::deliver(FileObject& file, const std::vector<std::uint8_t>& report) {
    if (!file.pending.empty()) {
        PendingRead read = std::move(file.pending.front());
        file.pending.pop_front();
        std::copy(report.begin(), report.end(), read.buffer);
        complete(read, kStatusSuccess, kErrorSuccess, static_cast<Dword>(report.size()));
        return;
    }
    file.queue.push_back(report);
    while (file.queue.size() > file.inputBuffers)
        file.queue.pop_front(); // the oldest report is lost, as in the platform's ring
}

void SimulatedBus::State::complete(PendingRead& read, std::uintptr_t status, Dword error,
                                   Dword bytes) {
    if (read.overlapped) {
        read.overlapped->Internal = status;
        read.overlapped->InternalHigh = bytes;
    }
    if (read.routine)
        apcs[read.thread].push_back(Apc{read.routine, error, bytes, read.overlapped});
    else if (read.event)
        read.event->signalled = true;
    if (read.done) {
        *read.done = true;
        *read.error = error;
    }
    changed.notify_all();
}

void SimulatedBus::State::abortPending(FileObject& file, Dword error, bool callerOnly) {
    const std::uintptr_t status =
        error == kErrorOperationAborted ? kStatusCancelled : kStatusDeviceNotConnected;
    for (auto it = file.pending.begin(); it != file.pending.end();) {
        if (callerOnly && it->thread != std::this_thread::get_id()) {
            ++it;
            continue;
        }
        PendingRead read = std::move(*it);
        it = file.pending.erase(it);
        complete(read, status, error, 0);
    }
}

void SimulatedBus::State::doAction(DeviceId id, DeviceAction action, Microseconds at) {
    SimulatedDevice& d = devices[id];
    switch (action) {
    case DeviceAction::Plug:
        if (d.plugged)
            return;
        d.plugged = true;
        ++d.generation;
        if (d.source)
            d.source->pluggedIn();
        d.nextReport = alignDown(at);
        ++pendingBroadcasts;
        break;
    case DeviceAction::Unplug:
        if (!d.plugged)
            return;
        d.plugged = false;
        for (auto& [value, object] : objects)
            if (object.file && object.file->device == id) {
                abortPending(*object.file, kErrorDeviceNotConnected, false);
                object.file->queue.clear();
            }
        ++pendingBroadcasts;
        break;
    case DeviceAction::GoSilent:
        d.description.silent = true;
        break;
    case DeviceAction::Resume:
        if (d.description.silent)
            d.nextReport = std::max(d.nextReport, alignDown(at));
        d.description.silent = false;
        break;
    case DeviceAction::HoldExclusively:
        d.description.heldExclusively = true;
        break;
    case DeviceAction::ReleaseExclusive:
        d.description.heldExclusively = false;
        break;
    }
    changed.notify_all();
}

Microseconds SimulatedBus::State::nextEventTime() const {
    Microseconds next = schedule.empty() ? Microseconds::max() : schedule.begin()->first;
    for (DeviceId id = 0; id < devices.size(); ++id) {
        const SimulatedDevice& d = devices[id];
        if (!d.plugged || !d.streaming() || d.description.silent)
            continue;
        const bool read = std::any_of(objects.begin(), objects.end(), [&](const auto& entry) {
            const KernelObject& o = entry.second;
            return o.file && o.file->device == id && o.file->read && fileIsLive(*o.file);
        });
        if (read)
            next = std::min(next, d.nextReport + kReportInterval);
    }
    return next;
}

void SimulatedBus::State::recordMisuse(MisuseKind kind, const char* call, std::intptr_t value) {
    Misuse m{kind, call, value, {}};
    const std::intptr_t serial = (value - kFirstValue) / kValueStep;
    if (value >= kFirstValue && serial < static_cast<std::intptr_t>(issuedDevice.size()) &&
        issuedDevice[serial] >= 0)
        m.interfacePath = devices[issuedDevice[serial]].path;
    misuse.push_back(std::move(m));
}

void SimulatedBus::State::releaseAndBroadcast(std::unique_lock<std::mutex>& lock) {
    const int n = pendingBroadcasts;
    pendingBroadcasts = 0;
    std::vector<std::function<void()>> targets;
    if (n > 0)
        for (const auto& [id, listener] : listeners)
            targets.push_back(listener);
    lock.unlock();
    for (int i = 0; i < n; ++i)
        for (const auto& listener : targets)
            listener();
}

void SimulatedBus::State::timerLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        advanceTo(clockNow());
        if (pendingBroadcasts > 0) {
            releaseAndBroadcast(lock);
            lock.lock();
            continue;
        }
        if (schedule.empty())
            changed.wait(lock);
        else
            changed.wait_until(lock, wallStart + schedule.begin()->first);
    }
}

// ---- bus

SimulatedBus::SimulatedBus(ClockMode mode) : state_(std::make_unique<State>(mode)) {
    if (mode == ClockMode::RealTime)
        state_->timer = std::thread([this] { state_->timerLoop(); });
}

SimulatedBus::~SimulatedBus() {
    stopTimer();
}

void SimulatedBus::stopTimer() {
    if (!state_->timer.joinable())
        return;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    state_->timer.join();
    state_->stopping = false;
}

void SimulatedBus::setMode(ClockMode mode) {
    if (mode == state_->mode)
        return;
    if (mode == ClockMode::Fast)
        stopTimer();
    {
        BusCall call(*state_);
        State& s = *state_;
        const Microseconds now = s.clockNow();
        s.mode = mode;
        s.virtualNow = now;
        s.wallStart = std::chrono::steady_clock::now() - now;
    }
    if (mode == ClockMode::RealTime)
        state_->timer = std::thread([this] { state_->timerLoop(); });
}

DeviceId SimulatedBus::addDevice(DeviceDescription description,
                                 std::unique_ptr<ReportSource> source, bool plugged) {
    BusCall call(*state_);
    State& s = *state_;
    const DeviceId id = s.devices.size();
    SimulatedDevice d;
    if (description.instanceId.empty())
        description.instanceId = defaultInstanceId(id);
    d.path =
        description.interfacePath.empty()
            ? interfacePathFor(description.vendorId, description.productId, description.instanceId)
            : description.interfacePath;
    d.description = std::move(description);
    d.source = std::move(source);
    d.devInst = static_cast<Dword>(0x10001 + id);
    s.devices.push_back(std::move(d));
    if (plugged)
        s.doAction(id, DeviceAction::Plug, s.clockNow());
    return id;
}

std::string SimulatedBus::interfacePath(DeviceId device) const {
    std::lock_guard lock(state_->mutex);
    return state_->devices.at(device).path;
}

void SimulatedBus::apply(DeviceId device, DeviceAction action) {
    BusCall call(*state_);
    state_->devices.at(device);
    state_->doAction(device, action, state_->clockNow());
}

void SimulatedBus::schedule(Microseconds at, DeviceId device, DeviceAction action) {
    BusCall call(*state_);
    state_->devices.at(device);
    if (at <= state_->clockNow()) {
        state_->doAction(device, action, state_->clockNow());
        return;
    }
    state_->schedule.emplace(at, std::make_pair(device, action));
    state_->changed.notify_all();
}

ClockMode SimulatedBus::mode() const {
    std::lock_guard lock(state_->mutex);
    return state_->mode;
}

Microseconds SimulatedBus::now() const {
    std::lock_guard lock(state_->mutex);
    return state_->clockNow();
}

void SimulatedBus::advance(Microseconds d) {
    if (state_->mode == ClockMode::RealTime) {
        std::this_thread::sleep_for(d);
        BusCall call(*state_);
        return;
    }
    BusCall call(*state_);
    state_->advanceTo(state_->virtualNow + d);
    state_->changed.notify_all();
}

std::vector<OutputReport> SimulatedBus::outputReports(DeviceId device) const {
    std::lock_guard lock(state_->mutex);
    return state_->devices.at(device).outputs;
}

bool SimulatedBus::streaming(DeviceId device) const {
    std::lock_guard lock(state_->mutex);
    return state_->devices.at(device).streaming();
}

int SimulatedBus::addDeviceChangeListener(std::function<void()> listener) {
    std::lock_guard lock(state_->mutex);
    const int id = state_->nextListener++;
    state_->listeners.emplace(id, std::move(listener));
    return id;
}

void SimulatedBus::removeDeviceChangeListener(int id) {
    std::lock_guard lock(state_->mutex);
    state_->listeners.erase(id);
}

void SimulatedBus::setPlatformVersion(PlatformVersion version) {
    std::lock_guard lock(state_->mutex);
    state_->version = std::move(version);
}

namespace {
std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}
} // namespace

void SimulatedBus::hideModule(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    state_->hiddenModules.insert(lower(name));
}

void SimulatedBus::hideExport(const std::string& module, const std::string& exportName) {
    std::lock_guard lock(state_->mutex);
    state_->hiddenExports.emplace(lower(module), exportName);
}

Audit SimulatedBus::audit() const {
    std::lock_guard lock(state_->mutex);
    const State& s = *state_;
    Audit a;
    for (const auto& d : s.devices)
        a.devices.push_back({d.path, d.openHandles, d.handlesOpened, d.preparsedHeld});
    for (const auto& [value, o] : s.objects)
        if (o.event)
            ++a.openEvents;
    a.openDeviceInfoSets = static_cast<int>(s.sets.size());
    for (const auto& [value, m] : s.modules)
        a.loadedModuleReferences += m.references;
    a.misuse = s.misuse;
    return a;
}

} // namespace platform
