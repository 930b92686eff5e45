// The doubles' own state, shared by their files: the Host IDE, the registry,
// the open dialogs and what the scripted user will answer. Not for use
// outside tests/doubles.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "doubles/headless.h"
#include "doubles/templates.h"

namespace kelpin::headless {

struct Control {
    int id;
    ControlKind kind;
    std::string text;
    std::string previous; // the text before the last change, for undo
    bool checked = false;
};

struct Dialog {
    int templateId;
    DialogProc proc;
    std::intptr_t param;
    std::string caption;
    std::vector<Control> controls;
    bool ended = false;
    std::intptr_t result = 0;
    int focus = 0;
};

struct State {
    HostModel host;
    std::map<std::string, RegistryKeyValues> registry;
    std::vector<std::string> registryWrites;
    long failRegistryCreate = 0;
    std::map<RegKey, std::string> openKeys;
    RegKey nextKey = 1;

    std::vector<MessageBoxRecord> boxes;

    std::map<HostWindow, Dialog> dialogs;
    HostWindow nextDialog = 0x10000;
    std::deque<DialogScript> scripts;
    std::vector<int> opened;

    std::vector<ChooserRecord> choosers;
    std::deque<std::optional<std::string>> chooserAnswers;

    std::vector<HelpCall> helpCalls;
    int helpResult = 1;

    std::optional<std::tm> clock;
    bool cwdOverridden = false;
    std::optional<std::string> cwd;
    int failWrites = 0;
};

// The one instance, put back to new by Reset().
State& S();
Dialog* FindDialog(HostWindow window);
Control* FindControl(HostWindow window, int id);
std::uintptr_t MakeWParam(int id, unsigned notification);
// Sends a message to an open dialog's procedure; 0 when there is none.
std::intptr_t Send(HostWindow window, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam);

} // namespace kelpin::headless
