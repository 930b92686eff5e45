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

// The open dialog's record: the settings key it holds from its
// initialisation to its end.
struct SetupRecord {
    RegKey key;
};

SetupRecord& RecordOf(HostWindow dialog) {
    return *reinterpret_cast<SetupRecord*>(UiDialogParam(dialog));
}

void EndSetup(HostWindow dialog, SetupRecord& record) {
    RegistryCloseKey(record.key);
    record.key = 0;
    UiEndDialog(dialog, -1);
}

void Initialise(HostWindow dialog, SetupRecord& record) {
    HostWindow main = addInState.mainWindow;
    record.key = OpenSettingsKey(dialog, main);
    // Without a key the dialog ends as soon as its initialisation returns;
    // the reads below then fail and change nothing.
    if (record.key == 0) UiEndDialog(dialog, -1);
    Settings& settings = addInState.settings;
    settings = ReadSettings(record.key, settings);
    RegisterVersionCommandAsRead(main);
    UiCheckItem(dialog, IDC_ENABLE_VERSION, (settings.options & OptVersioning) != 0);
    UiSetItemText(dialog, IDC_HELP_PATH, settings.helpPath);
}

void Accept(HostWindow dialog, SetupRecord& record) {
    if (UiIsItemChecked(dialog, IDC_ENABLE_VERSION))
        RegisterVersionCommand(addInState.mainWindow);
    else
        UnregisterVersionCommand(addInState.mainWindow);
    Settings& settings = addInState.settings;
    std::memset(settings.helpPath, 0, sizeof settings.helpPath);
    UiGetItemText(dialog, IDC_HELP_PATH, settings.helpPath, HelpPathLimit);
    WriteSettings(record.key, settings);
    EndSetup(dialog, record);
}

std::intptr_t SetupDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    switch (message) {
    case UiMsgInitDialog: // the dialog sets the default focus
        Initialise(dialog, *reinterpret_cast<SetupRecord*>(lParam));
        return 1;
    case UiMsgSize: return 1;
    case UiMsgCommand:
        switch (UiLowWord(wParam)) {
        case UiIdOk: Accept(dialog, RecordOf(dialog)); return 1;
        case UiIdCancel: EndSetup(dialog, RecordOf(dialog)); return 1;
        case IDC_FIND_HELP: FindHelpFile(dialog); return 1;
        default: return 0;
        }
    default: return 0;
    }
}

} // namespace

std::int32_t AddInSetup(std::int32_t, std::int32_t) {
    SetupRecord record{0};
    return ShowDialog({addInState.moduleInstance, addInState.mainWindow}, IDD_SETUP, SetupDialog,
                      &record);
}

std::int32_t AddInHelp(HostWindow window, std::int32_t kind, const char* keyword) {
    const char* helpPath = addInState.settings.helpPath;
    if (helpPath[0] == '\0' || kind != HostHelpKeyword) return 0;
    return UiWinHelp(window, helpPath, HelpKey, reinterpret_cast<std::uintptr_t>(keyword));
}

} // namespace kelpin
