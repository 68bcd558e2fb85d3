// One device link per host thread, held by that thread's controls.
#include "crmcontrol/com/device_link_share.h"

#include "backend/process_api.h"

#include <map>
#include <mutex>
#include <windows.h>

namespace crmcontrol::com {
namespace {

// Not thread_local: a DLL's thread-local destructors would outlive the DLL.
struct Links {
    std::mutex mutex;
    std::map<DWORD, std::weak_ptr<devicelink::HIDmodule>> byThread;
};

Links& links() {
    static Links l;
    return l;
}

} // namespace

std::shared_ptr<devicelink::HIDmodule> threadDeviceLink() {
    const DWORD thread = GetCurrentThreadId();
    Links& l = links();
    std::lock_guard lock(l.mutex);
    if (auto existing = l.byThread[thread].lock())
        return existing;
    // The last control of the thread to let go removes the thread's entry.
    std::shared_ptr<devicelink::HIDmodule> link(
        new devicelink::HIDmodule(backend::processApi(), devicelink::Variant::CrmControl),
        [thread](devicelink::HIDmodule* m) {
            {
                Links& l = links();
                std::lock_guard lock(l.mutex);
                auto it = l.byThread.find(thread);
                if (it != l.byThread.end() && it->second.expired())
                    l.byThread.erase(it);
            }
            std::default_delete<devicelink::HIDmodule>()(m);
        });
    l.byThread[thread] = link;
    return link;
}

} // namespace crmcontrol::com
