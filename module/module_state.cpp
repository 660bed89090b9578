#include "module_state.h"

#include <string>
#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel {
namespace {

// Built by static initialisation, before DllMain runs.
struct StaticState {
    ModuleState state;
    std::vector<std::function<void()>> termination;
    std::string empty;
    StaticState() {
        InitializeCriticalSection(&state.class_object_lock);
        InitializeCriticalSection(&state.type_info_lock);
    }
};

StaticState& statics() {
    static StaticState s;
    return s;
}

}  // namespace

ModuleState& module() {
    return statics().state;
}

void lock_module() noexcept {
    InterlockedIncrement(&module().locks);
}
void unlock_module() noexcept {
    InterlockedDecrement(&module().locks);
}

void at_termination(std::function<void()> callback) {
    EnterCriticalSection(&module().type_info_lock);
    statics().termination.push_back(std::move(callback));
    LeaveCriticalSection(&module().type_info_lock);
}

const char* empty_text() noexcept {
    return statics().empty.c_str();
}

void attach_module(HMODULE handle) {
    module().handle = handle;
    module().type_library = LIBID_QUORVELLib;
}

void detach_module() {
    for (auto& callback : statics().termination) callback();
    statics().termination.clear();
    DeleteCriticalSection(&module().class_object_lock);
    DeleteCriticalSection(&module().type_info_lock);
}

}  // namespace quorvel
