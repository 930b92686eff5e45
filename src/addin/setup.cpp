// The setup dialog and keyword help.
#include "addin/addin.h"
#include "addin/commands.h"
#include "resources/resource.h"

namespace kelpin {

// Not yet built: the dialog is left to the system.
std::intptr_t SetupDialog(HostWindow, unsigned, std::uintptr_t, std::intptr_t) { return 0; }

std::int32_t AddInSetup(std::int32_t, std::int32_t) {
    return static_cast<std::int32_t>(
        UiDialogBox(addInState.moduleInstance, IDD_SETUP, addInState.mainWindow, SetupDialog, 0));
}

std::int32_t AddInHelp(HostWindow window, std::int32_t kind, const char* keyword) {
    if (addInState.helpPath[0] == '\0' || kind != HostHelpKeyword) return 0;
    constexpr unsigned HelpKey = 0x101;
    return UiWinHelp(window, addInState.helpPath, HelpKey, reinterpret_cast<std::uintptr_t>(keyword));
}

} // namespace kelpin
