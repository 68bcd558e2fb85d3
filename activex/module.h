// The module-wide state of an in-process server (the one place it lives): the
// counts that decide DllCanUnloadNow and the module's own handle and path.
#pragma once

#include "activex/win.h"

#include <atomic>
#include <string>

namespace activex {

class ServerModule {
public:
    // Live COM objects of this module (every object counts itself in its
    // constructor and out in its destructor) and IClassFactory::LockServer locks.
    void objectCreated() noexcept { ++objects_; }
    void objectDestroyed() noexcept { --objects_; }
    void lock() noexcept { ++locks_; }
    void unlock() noexcept { --locks_; }
    long objectCount() const noexcept { return objects_; }
    long lockCount() const noexcept { return locks_; }
    bool canUnload() const noexcept { return objects_ == 0 && locks_ == 0; }

    // The module (DLL or, for a test, EXE) holding the framework's code.
    static HMODULE handle() noexcept;
    // Its full path (the type library and the registry entries name it).
    static std::wstring path();

private:
    std::atomic<long> objects_{0};
    std::atomic<long> locks_{0};
};

ServerModule& serverModule() noexcept;

// Counts an object of the module for as long as it lives (a member of every
// COM class of the framework).
class ModuleObjectCount {
public:
    ModuleObjectCount() noexcept { serverModule().objectCreated(); }
    ModuleObjectCount(const ModuleObjectCount&) noexcept { serverModule().objectCreated(); }
    ModuleObjectCount& operator=(const ModuleObjectCount&) noexcept { return *this; }
    ~ModuleObjectCount() { serverModule().objectDestroyed(); }
};

} // namespace activex
