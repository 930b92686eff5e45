// Entry points and command dispatch.
#include "addin/addin.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "addin/commands.h"
#include "addin/settings.h"
#include "resources/resource.h"

namespace kelpin {

AddInState addInState;

const char VersionString[] = "Ver 00.00.00.01 - Build 0426";
const char VersionDate[] = "Sep 27 2005";
const char VersionTime[] = "16:57:50";

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
    PlatformSendMessage(window, HostMsgOutput, 0, reinterpret_cast<std::intptr_t>(about));
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

std::int32_t OpenFunctionDialog(int templateId, DialogProc proc) {
    addInState.caretLine = CaretLine();
    if (addInState.caretLine == -1) return -1;
    addInState.currentFunction.declaration[0] = '\0';
    FindCurrentFunction(addInState.documentText);
    if (addInState.currentFunction.declaration[0] == '\0')
        return UiMessageBox(addInState.mainWindow, "You're not in a function body.\n", "Function",
                            UiBoxIconWarning);
    std::intptr_t line =
        UiDialogBox(addInState.moduleInstance, templateId, addInState.mainWindow, proc,
                    reinterpret_cast<std::intptr_t>(&addInState.currentFunction));
    if (line > 0) MoveCaret(static_cast<std::int32_t>(line - 1), MoveCaretLine | MoveCaretScroll);
    return static_cast<std::int32_t>(line);
}

std::int32_t ModuleComment() {
    HostWindow editor = ActiveEditor();
    if (editor == 0) return 0;
    HostDocumentInfo& info = addInState.documentInfo;
    std::memset(&info, 0, sizeof info);
    info.size = HostDocumentInfoSize;
    if (PlatformSendMessage(editor, HostMsgGetDocumentInfo, 0,
                            reinterpret_cast<std::intptr_t>(&info)) == 0 ||
        info.kind != HostKindSource)
        return 0;
    info.path[sizeof info.path - 1] = '\0';
    // Only the file name stays: the text after the last "\" moves to the
    // start, unless the only "\" is the first character.
    const char* last = std::strrchr(info.path + 1, '\\');
    if (last != nullptr) std::memmove(info.path, last + 1, std::strlen(last + 1) + 1);
    return static_cast<std::int32_t>(UiDialogBox(addInState.moduleInstance, IDD_MODULE_COMMENT,
                                                 addInState.mainWindow, ModuleCommentDialog,
                                                 reinterpret_cast<std::intptr_t>(&info)));
}

std::int32_t Dispatch(std::int32_t id) {
    if (id < 1 || id > 11 || id % 2 == 0) return id;
    switch (id) {
    case CmdFunctionPrototypes:
        return static_cast<std::int32_t>(UiDialogBox(addInState.moduleInstance, IDD_FUNCTIONS,
                                                     addInState.mainWindow, FunctionsDialog, 0));
    case CmdCurrentFunction: return OpenFunctionDialog(IDD_FUNCTION, FunctionDialog);
    case CmdFunctionComment: return OpenFunctionDialog(IDD_FUNCTION_COMMENT, FunctionCommentDialog);
    case CmdFindUsage: return FindElementUsage();
    case CmdModuleComment: return ModuleComment();
    case CmdEditVersion: return EditVersionCommand();
    default: return 0;
    }
}

} // namespace

void ResetAddInState() {
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
        if (addInState.options & OptVersioning) {
            char buffer[4096];
            StampVersionOnBuild(window, buffer);
        }
        return 1;
    default: return 1;
    }
}

std::int32_t AddInCommand(std::int32_t id) {
    addInState.documentText = FetchEditorText();
    if (addInState.documentText == nullptr) return 0;
    std::int32_t result = Dispatch(id);
    delete[] addInState.documentText;
    addInState.documentText = nullptr;
    return result;
}

HostWindow ActiveEditor() {
    return static_cast<HostWindow>(
        PlatformSendMessage(addInState.mainWindow, HostMsgGetActiveEditor, 0, 0));
}

int MoveCaret(std::int32_t position, unsigned flags) {
    HostWindow editor = ActiveEditor();
    if (flags & MoveCaretLine)
        position = static_cast<std::int32_t>(PlatformSendMessage(
            editor, HostMsgLineIndex, static_cast<std::uintptr_t>(position), 0));
    HostSelection selection{position, position};
    PlatformSendMessage(editor, HostMsgSetSelection, 0,
                        reinterpret_cast<std::intptr_t>(&selection));
    if (flags & MoveCaretScroll) PlatformSendMessage(editor, HostMsgScrollCaret, 0, 0);
    return 1;
}

std::int32_t CaretLine() {
    HostWindow editor = ActiveEditor();
    if (editor == 0) return -1;
    if (PlatformSendMessage(editor, HostMsgGetEditorKind, 0, 0) != HostKindSource) return -1;
    HostSelection selection{0, 0};
    if (PlatformSendMessage(editor, HostMsgGetSelection, 0,
                            reinterpret_cast<std::intptr_t>(&selection)) == 0)
        return -1;
    return static_cast<std::int32_t>(PlatformSendMessage(
               editor, HostMsgLineFromChar, static_cast<std::uintptr_t>(selection.start), 0)) +
           1;
}

char* FetchEditorText() {
    HostWindow editor = ActiveEditor();
    if (editor == 0) return nullptr;
    if (PlatformSendMessage(editor, HostMsgGetEditorKind, 0, 0) != HostKindSource) return nullptr;
    std::intptr_t length = PlatformSendMessage(editor, HostMsgGetTextLength, 0, 0);
    if (length <= 0) return nullptr;
    char* text = new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
    if (text == nullptr) return nullptr;
    text[length] = '\0';
    if (PlatformSendMessage(editor, HostMsgGetText, static_cast<std::uintptr_t>(length),
                            reinterpret_cast<std::intptr_t>(text)) <= 0) {
        delete[] text;
        return nullptr;
    }
    return text;
}

} // namespace kelpin
