// The doubles' state and the host messages, which the host model answers.
#include <new>

#include "doubles/state.h"

namespace kelpin::headless {

State& S() {
    static State state;
    return state;
}

Dialog* FindDialog(HostWindow window) {
    auto it = S().dialogs.find(window);
    return it == S().dialogs.end() ? nullptr : &it->second;
}

Control* FindControl(HostWindow window, int id) {
    Dialog* dialog = FindDialog(window);
    if (dialog == nullptr) return nullptr;
    for (Control& control : dialog->controls)
        if (control.id == id) return &control;
    return nullptr;
}

std::uintptr_t MakeWParam(int id, unsigned notification) {
    return (static_cast<std::uintptr_t>(notification & 0xFFFF) << 16) |
           (static_cast<unsigned>(id) & 0xFFFF);
}

std::intptr_t Send(HostWindow window, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam) {
    Dialog* dialog = FindDialog(window);
    return dialog ? dialog->proc(window, message, wParam, lParam) : 0;
}

void Reset() {
    State& state = S();
    state.~State();
    new (&state) State();
}

HostModel& Host() {
    return S().host;
}

} // namespace kelpin::headless

namespace kelpin {

using namespace headless;

std::intptr_t PlatformSendMessage(HostWindow window, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    return S().host.Handle(window, message, wParam, lParam);
}

} // namespace kelpin
