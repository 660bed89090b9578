#include "module_state.h"

#include <string>
#include <utility>
#include <vector>

#include "quorvel/quorvel.h"

namespace quorvel {
namespace {

// Made at load and freed by DllMain at unload: kept on the heap so that no
// static destructor can take it away before DllMain is done with it, which
// at process exit runs after them.
struct StaticState {
    ModuleState state;
    std::vector<std::function<void()>> termination;
    std::string empty;
    StaticState() {
        InitializeCriticalSection(&state.class_object_lock);
        InitializeCriticalSection(&state.type_info_lock);
    }
    ~StaticState() {
        DeleteCriticalSection(&state.class_object_lock);
        DeleteCriticalSection(&state.type_info_lock);
    }
};

StaticState*& held() {
    static StaticState* state = nullptr;
    return state;
}

StaticState& statics() {
    if (!held()) held() = new StaticState;
    return *held();
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
    delete std::exchange(held(), nullptr);
}

}  // namespace quorvel
