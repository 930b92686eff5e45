// Entry points and command dispatch.
#include "addin/addin.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "addin/settings.h"
#include "comments/comments.h"
#include "navigation/navigation.h"
#include "resources/resource.h"
#include "scanner/lookup.h"
#include "version/version.h"

namespace kelpin {

AddInState addInState;

namespace {

// How a load treats a command's registration.
enum class Registration : std::uint8_t {
    Required,   // a refusal ends the load at once, with 0
    Versioning, // only while versioning is on and the host does not hold it
                // still; a refusal leaves versioning on, and the load goes on
    Last,       // after the about line; the host's answer is the load's result
};

struct CommandEntry {
    std::int32_t id;
    const char* name;
    int icon;
    std::uint32_t flags;
    Registration registration;
};

// The commands, in the order a load registers them and an unload removes
// them (command 11 whether or not it is registered).
constexpr CommandEntry Commands[] = {
    {CmdFunctionPrototypes, "Function prototypes", IDI_PROTOTYPES, 0, Registration::Required},
    {CmdFunctionComment, "Edit function comment", IDI_FUNCTION_COMMENT, 7, Registration::Required},
    {CmdModuleComment, "Edit module comment", IDI_MODULE_COMMENT, 7, Registration::Required},
    {CmdFindUsage, "Find element usage", IDI_FIND_USAGE, 7, Registration::Required},
    {CmdEditVersion, "Edit Version/Build", IDI_EDIT_VERSION, 0, Registration::Versioning},
    {CmdCurrentFunction, "Current f&unction", IDI_CURRENT_FUNCTION, 7, Registration::Last},
};

// What a command is given of the add-in's surroundings.
AddInHost Host() {
    return {addInState.moduleInstance, addInState.mainWindow};
}

std::intptr_t AddCommand(HostWindow main, const CommandEntry& entry) {
    HostCommandInfo info{HostCommandInfoSize, entry.id, entry.name,
                         UiLoadIcon(addInState.moduleInstance, entry.icon), entry.flags};
    return PlatformSendMessage(main, HostMsgAddCommand, 0, reinterpret_cast<std::intptr_t>(&info));
}

const CommandEntry& Entry(std::int32_t id) {
    for (const CommandEntry& entry : Commands)
        if (entry.id == id) return entry;
    return Commands[0];
}

bool Versioning() {
    return (addInState.settings.options & OptVersioning) != 0;
}

// Registers the commands of the table with the host's window main; the load's
// result. A library the host loads again without freeing it (the add-in
// turned off and on) knows the window of the earlier load: command 11 is
// registered there first of all, before the table, as the settings are read;
// its place in the table is then a second attempt, made only when the host
// refused the first.
std::int32_t RegisterCommands(HostWindow earlier, HostWindow main) {
    if (earlier != 0) RegisterVersionCommandAsRead(earlier);
    for (const CommandEntry& entry : Commands) {
        switch (entry.registration) {
        case Registration::Required:
            if (AddCommand(main, entry) == 0) return 0;
            break;
        case Registration::Versioning:
            if (Versioning()) RegisterVersionCommand(main);
            break;
        case Registration::Last: {
            char about[4096];
            std::snprintf(
                about, sizeof about,
                "Orvell's Addin toolkit. Based on Tamber functions prototype.\n%s %s - %s",
                VersionString, VersionDate, VersionTime);
            OutputLine(main, about);
            return static_cast<std::int32_t>(AddCommand(main, entry));
        }
        }
    }
    return 0;
}

std::int32_t Load(HostWindow window) {
    HostWindow earlier = addInState.mainWindow;
    RegKey key = OpenSettingsKey(window, earlier);
    if (key == 0) return 0;
    addInState.settings = ReadSettings(key, addInState.settings);
    RegistryCloseKey(key);
    addInState.mainWindow = window;
    return RegisterCommands(earlier, window);
}

// Every removal is asked for, even after the host refused one: a command left
// registered would point into a library that is no longer loaded. Once the
// host has confirmed that command 11 is gone, a later load (a host that turns
// the add-in off and on without freeing the library) registers it again; a
// refused removal leaves it registered, and the flag says so.
std::int32_t Unload(HostWindow window) {
    std::int32_t result = 1;
    for (const CommandEntry& entry : Commands) {
        if (PlatformSendMessage(window, HostMsgRemoveCommand, static_cast<std::uintptr_t>(entry.id),
                                0) == 0)
            result = 0;
        else if (entry.id == CmdEditVersion)
            addInState.versionCommandRegistered = 0;
    }
    return result;
}

// Commands 3 and 5: the dialog of the function at the caret, or the warning
// when the caret is in none. A dialog's result above 0 is a 1-based line for
// the caret to go to.
std::int32_t FunctionAtCaret(const char* text, std::int32_t command) {
    std::int32_t caretLine = CaretLine(addInState.mainWindow);
    if (caretLine == -1) return -1;
    const CurrentFunction function = FindCurrentFunction(text, caretLine);
    if (function.declaration[0] == '\0')
        return UiMessageBox(addInState.mainWindow, "You're not in a function body.\n", "Function",
                            UiBoxIconWarning);
    std::int32_t line = command == CmdCurrentFunction ? ShowFunctionDialog(Host(), function)
                                                      : ShowFunctionCommentDialog(Host(), function);
    if (line > 0) MoveCaret(addInState.mainWindow, line - 1, MoveCaretLine | MoveCaretScroll);
    return line;
}

// Command 9: the module comment of the active document, named after its
// file.
std::int32_t ModuleComment() {
    HostWindow editor = ActiveEditor(addInState.mainWindow);
    if (editor == 0) return 0;
    HostDocumentInfo info;
    std::memset(&info, 0, sizeof info);
    info.size = HostDocumentInfoSize;
    if (PlatformSendMessage(editor, HostMsgGetDocumentInfo, 0,
                            reinterpret_cast<std::intptr_t>(&info)) == 0 ||
        info.kind != HostKindSource)
        return 0;
    info.path[sizeof info.path - 1] = '\0';
    return ShowModuleCommentDialog(Host(), ModuleNameOf(info.path).c_str());
}

std::int32_t Dispatch(std::int32_t id, const char* text) {
    if (id < 1 || id > 11 || id % 2 == 0) return id;
    switch (id) {
    case CmdFunctionPrototypes: return ShowPrototypeDialog(Host());
    case CmdCurrentFunction:
    case CmdFunctionComment: return FunctionAtCaret(text, id);
    case CmdFindUsage: return FindElementUsage(addInState.mainWindow);
    case CmdModuleComment: return ModuleComment();
    case CmdEditVersion: return EditVersionCommand(Host(), Versioning(), addInState.projectWindow);
    default: return 0;
    }
}

} // namespace

int RegisterVersionCommand(HostWindow main) {
    addInState.settings.options |= OptVersioning;
    if (!addInState.versionCommandRegistered && AddCommand(main, Entry(CmdEditVersion)) == 0)
        return 0;
    addInState.versionCommandRegistered = 1;
    return 1;
}

void RegisterVersionCommandAsRead(HostWindow main) {
    if (Versioning() && RegisterVersionCommand(main) == 0)
        OutputLine(main, "Cannot enable versioning commands!");
}

void UnregisterVersionCommand(HostWindow main) {
    addInState.settings.options &= ~static_cast<std::uint32_t>(OptVersioning);
    addInState.versionCommandRegistered = 0;
    PlatformSendMessage(main, HostMsgRemoveCommand, CmdEditVersion, 0);
}

void ResetAddIn() {
    std::memset(static_cast<void*>(&addInState), 0, sizeof addInState);
}

void AttachProcess(ModuleHandle module) {
    addInState.moduleInstance = module;
}

std::int32_t AddInMain(HostWindow window, std::int32_t event) {
    switch (event) {
    case HostEventLoad: return Load(window);
    case HostEventUnload: return Unload(window);
    case HostEventProject: addInState.projectWindow = window; return 1;
    case HostEventBuild:
        if (Versioning()) StampVersionOnBuild(Host(), window);
        return 1;
    default: return 1;
    }
}

std::int32_t AddInCommand(std::int32_t id) {
    // Every command starts from a fresh copy of the editor's text, released
    // when it returns.
    std::unique_ptr<char[]> text = FetchEditorText(addInState.mainWindow);
    if (text == nullptr) return 0;
    return Dispatch(id, text.get());
}

} // namespace kelpin
