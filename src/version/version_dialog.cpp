// Command 11: dialog 1006 sets the version numbers by hand.
#include <climits>
#include <cstdio>

#include "addin/addin.h"
#include "addin/commands.h"
#include "resources/resource.h"
#include "version/version.h"

namespace kelpin {

char versionModuleName[1024];

namespace {

// A field is read with at most this many characters.
constexpr int FieldTextSize = 15;

struct VersionField {
    int id;
    std::int32_t limit;
};
// The four components, most significant first, then the build number.
constexpr VersionField Fields[5] = {
    {IDC_VERSION_MSC, VersionComponentMax}, {IDC_VERSION_2SC, VersionComponentMax},
    {IDC_VERSION_3SC, VersionComponentMax}, {IDC_VERSION_LSC, VersionComponentMax},
    {IDC_VERSION_BUILD, VersionBuildMax},
};

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::int32_t FieldValue(HostWindow dialog, int id) {
    char text[FieldTextSize];
    UiGetItemText(dialog, id, text, sizeof text);
    return VersionFieldValue(text);
}

void SetFieldValue(HostWindow dialog, int id, std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    UiSetItemText(dialog, id, text);
}

std::intptr_t InitDialog(HostWindow dialog, const char* name) {
    std::snprintf(versionModuleName, sizeof versionModuleName, "%s", name);
    std::optional<VersionStream> source = OpenVersionFile(versionModuleName, VersionFileSource);
    if (!source) {
        UiMessageBox(addInState.mainWindow, "The file doesn't exist.\nCompile project before!",
                     versionModuleName, UiBoxIconInformation);
        UiEndDialog(dialog, -1);
        return 1;
    }
    std::int32_t components[4] = {0, 0, 0, 0};
    std::int32_t build = 0;
    int result = ReadVersionNumbers(*source, components, &build);
    CloseVersionFile(*source);
    if (result != VersionOk) {
        UiMessageBox(addInState.mainWindow,
                     "Can't read version data.\nMaybe file format is uncorrect!", versionModuleName,
                     UiBoxIconError);
        UiEndDialog(dialog, -1);
        return 1;
    }
    UiSetItemText(dialog, IDC_VERSION_FILE, versionModuleName);
    for (int k = 0; k < 4; ++k)
        SetFieldValue(dialog, Fields[k].id, components[k]);
    SetFieldValue(dialog, IDC_VERSION_BUILD, build);
    return 1; // the dialog sets the default focus
}

// Only the source file is written: the header stays, nothing goes to the
// pane, and the next build increments from these numbers.
std::intptr_t Save(HostWindow dialog) {
    std::int32_t components[4];
    for (int k = 0; k < 4; ++k)
        components[k] = FieldValue(dialog, Fields[k].id);
    std::int32_t build = FieldValue(dialog, IDC_VERSION_BUILD);
    // Not in the middle of a build's read and rewrite, which would undo it.
    FolderLockScope lock((std::string(versionModuleName) + ".c").c_str());
    VersionStream stream;
    if (CreateVersionFile(versionModuleName, VersionFileSource | VersionFileKeepOpen, &stream) ==
            0 ||
        WriteVersionNumbers(stream, components, build) == 0) {
        // The dialog stays open with the user's values.
        ShowVersionError(dialog, VersionCannotCreate);
        return 0;
    }
    UiEndDialog(dialog, -1);
    return 1;
}

} // namespace

std::int32_t VersionFieldValue(const char* text) {
    while (IsBlank(*text))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value <= INT32_MAX) value = value * 10 + (*text - '0');
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::intptr_t VersionDialogProc(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    if (message == UiMsgInitDialog)
        return InitDialog(dialog, reinterpret_cast<const char*>(lParam));
    if (message != UiMsgCommand) return 0;
    int id = static_cast<int>(UiLowWord(wParam));
    switch (id) {
    case UiIdOk: return Save(dialog);
    case UiIdCancel: UiEndDialog(dialog, -1); return 1;
    default: break;
    }
    if (UiHighWord(wParam) != UiNotifyUpdate) return 0;
    // A change that takes a field out of its range is taken back at once.
    for (const VersionField& field : Fields) {
        if (field.id != id) continue;
        std::int32_t value = FieldValue(dialog, id);
        if (value < 0 || value > field.limit) {
            UiUndoItem(dialog, id);
            return 1;
        }
        return 0;
    }
    return 0;
}

int ShowVersionDialog(const char* name) {
    UiDialogBox(addInState.moduleInstance, IDD_VERSION, addInState.mainWindow, VersionDialogProc,
                reinterpret_cast<std::intptr_t>(name));
    return 1;
}

std::int32_t EditVersionCommand() {
    if (!(addInState.options & OptVersioning) || addInState.projectWindow == 0)
        return static_cast<std::int32_t>(PlatformSendMessage(
            addInState.mainWindow, HostMsgOutput, 0,
            reinterpret_cast<std::intptr_t>("Error - Versioning not enabled!")));
    char buffer[HostSymbolBufferSize];
    std::intptr_t result = AskVersionSymbol(addInState.projectWindow, buffer);
    if (result == 0 || buffer[0] == '\0') return static_cast<std::int32_t>(result);
    return ShowVersionDialog(buffer);
}

} // namespace kelpin
