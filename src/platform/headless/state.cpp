// The headless host's state, the host messages, the clock and the current
// directory.
#include <unistd.h>

#include <new>

#include "platform/headless/state.h"

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

void SetClock(std::optional<std::tm> now) {
    S().clock = now;
}

void SetCurrentDirectory(std::optional<std::string> directory) {
    S().cwdOverridden = true;
    S().cwd = std::move(directory);
}

} // namespace kelpin::headless

namespace kelpin {

using namespace headless;

std::intptr_t PlatformSendMessage(HostWindow window, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    return S().host.Handle(window, message, wParam, lParam);
}

bool ClockLocalNow(std::tm* now) {
    if (S().clock) {
        *now = *S().clock;
        return true;
    }
    std::time_t t = std::time(nullptr);
    return ::localtime_r(&t, now) != nullptr;
}

bool ProcessCurrentDirectory(std::string* directory) {
    if (S().cwdOverridden) {
        if (!S().cwd) return false;
        *directory = *S().cwd;
        return true;
    }
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return false;
    *directory = buffer;
    return true;
}

} // namespace kelpin
