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

struct CommandEntry {
    std::int32_t id;
    const char* name;
    int icon;
    std::uint32_t flags;
};

// Registered in this order at load; command 11 only while versioning is on.
constexpr CommandEntry Commands[] = {
    {CmdFunctionPrototypes, "Function prototypes", IDI_PROTOTYPES, 0},
    {CmdFunctionComment, "Edit function comment", IDI_FUNCTION_COMMENT, 7},
    {CmdModuleComment, "Edit module comment", IDI_MODULE_COMMENT, 7},
    {CmdFindUsage, "Find element usage", IDI_FIND_USAGE, 7},
    {CmdEditVersion, "Edit Version/Build", IDI_EDIT_VERSION, 0},
    {CmdCurrentFunction, "Current f&unction", IDI_CURRENT_FUNCTION, 7},
};

// Removed in this order at unload, 11 whether or not it is registered.
constexpr std::int32_t RemovalOrder[] = {1, 5, 9, 7, 11, 3};

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

std::int32_t Load(HostWindow window) {
    RegKey key = OpenSettingsKey(window);
    if (key == 0) return 0;
    // The settings are read before the main window is known: what ReadSettings
    // sends to it reaches no window at the first load, and command 11 is
    // registered below once the window is set.
    ReadSettings(key);
    RegistryCloseKey(key);
    addInState.mainWindow = window;

    for (std::int32_t id :
         {CmdFunctionPrototypes, CmdFunctionComment, CmdModuleComment, CmdFindUsage})
        if (AddCommand(window, Entry(id)) == 0) return 0;
    if (addInState.options & OptVersioning) RegisterVersionCommand();

    char about[4096];
    std::snprintf(about, sizeof about,
                  "Orvell's Addin toolkit. Based on Tamber functions prototype.\n%s %s - %s",
                  VersionString, VersionDate, VersionTime);
    OutputLine(window, about);
    // The host's answer to the last registration is the load's result.
    return static_cast<std::int32_t>(AddCommand(window, Entry(CmdCurrentFunction)));
}

// Every removal is asked for, even after the host refused one: a command left
// registered would point into a library that is no longer loaded. Once the
// host has confirmed that command 11 is gone, a later load (a host that turns
// the add-in off and on without freeing the library) registers it again; a
// refused removal leaves it registered, and the flag says so.
std::int32_t Unload(HostWindow window) {
    std::int32_t result = 1;
    for (std::int32_t id : RemovalOrder) {
        if (PlatformSendMessage(window, HostMsgRemoveCommand, static_cast<std::uintptr_t>(id), 0) ==
            0)
            result = 0;
        else if (id == CmdEditVersion)
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
    case CmdEditVersion:
        return EditVersionCommand(Host(), (addInState.options & OptVersioning) != 0,
                                  addInState.projectWindow);
    default: return 0;
    }
}

} // namespace

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
        if (addInState.options & OptVersioning) StampVersionOnBuild(Host(), window);
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
