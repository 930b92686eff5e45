// The setup dialog and keyword help.
#include <cstring>

#include "addin/addin.h"
#include "addin/settings.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// The help path as the dialog reads it: at most 258 characters and the
// terminator, like the value stored in the registry.
constexpr int HelpPathLimit = 259;
constexpr unsigned HelpKey = 0x101; // WinHelp: open at a keyword

void FindHelpFile(HostWindow dialog) {
    char file[260] = {};
    FileChooser chooser{dialog, "Help file (.hlp)\0*.hlp\0File (*.*)\0*.*\0",
                        "hlp",  UiChooserStandard,
                        file,   sizeof file - 1};
    // Nothing is stored until OK: the chosen path only goes into the box.
    if (UiChooseOpenFile(chooser)) UiSetItemText(dialog, IDC_HELP_PATH, file);
}

void EndSetup(HostWindow dialog) {
    RegistryCloseKey(addInState.settingsKey);
    addInState.settingsKey = 0;
    UiEndDialog(dialog, -1);
}

void Initialise(HostWindow dialog) {
    addInState.settingsKey = OpenSettingsKey(dialog);
    // Without a key the dialog ends as soon as its initialisation returns;
    // the reads below then fail and change nothing.
    if (addInState.settingsKey == 0) UiEndDialog(dialog, -1);
    ReadSettings(addInState.settingsKey);
    UiCheckItem(dialog, IDC_ENABLE_VERSION, (addInState.options & OptVersioning) != 0);
    UiSetItemText(dialog, IDC_HELP_PATH, addInState.helpPath);
}

void Accept(HostWindow dialog) {
    if (UiIsItemChecked(dialog, IDC_ENABLE_VERSION))
        RegisterVersionCommand();
    else
        UnregisterVersionCommand();
    std::memset(addInState.helpPath, 0, sizeof addInState.helpPath);
    UiGetItemText(dialog, IDC_HELP_PATH, addInState.helpPath, HelpPathLimit);
    WriteSettings(addInState.settingsKey);
    EndSetup(dialog);
}

std::intptr_t SetupDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                          std::intptr_t) {
    switch (message) {
    case UiMsgInitDialog: Initialise(dialog); return 1; // the dialog sets the default focus
    case UiMsgSize: return 1;
    case UiMsgCommand:
        switch (UiLowWord(wParam)) {
        case UiIdOk: Accept(dialog); return 1;
        case UiIdCancel: EndSetup(dialog); return 1;
        case IDC_FIND_HELP: FindHelpFile(dialog); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

} // namespace

std::int32_t AddInSetup(std::int32_t, std::int32_t) {
    return static_cast<std::int32_t>(
        UiDialogBox(addInState.moduleInstance, IDD_SETUP, addInState.mainWindow, SetupDialog, 0));
}

std::int32_t AddInHelp(HostWindow window, std::int32_t kind, const char* keyword) {
    if (addInState.helpPath[0] == '\0' || kind != HostHelpKeyword) return 0;
    return UiWinHelp(window, addInState.helpPath, HelpKey,
                     reinterpret_cast<std::uintptr_t>(keyword));
}

} // namespace kelpin
