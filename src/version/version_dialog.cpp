// Command 11: dialog 1006 sets the version numbers by hand.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "resources/resource.h"
#include "scanner/chars.h"
#include "version/version.h"

namespace kelpin {

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

// What the open dialog keeps, with the dialog as its param: the module name
// it was opened with, read again by its OK.
struct VersionDialogRecord {
    AddInHost host;
    char moduleName[1024];
};

VersionDialogRecord& RecordOf(HostWindow dialog) {
    return *reinterpret_cast<VersionDialogRecord*>(UiDialogParam(dialog));
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

std::intptr_t InitDialog(HostWindow dialog, const VersionDialogRecord& record) {
    VersionNumbers numbers{};
    if (int result = LoadVersionNumbers(record.moduleName, &numbers); result != VersionOk) {
        bool missing = result == VersionCannotCreate;
        UiMessageBox(record.host.main, missing ? VersionMissingMessage : VersionUnreadableMessage,
                     record.moduleName, missing ? UiBoxIconInformation : UiBoxIconError);
        UiEndDialog(dialog, -1);
        return 1;
    }
    UiSetItemText(dialog, IDC_VERSION_FILE, record.moduleName);
    for (int k = 0; k < 4; ++k)
        SetFieldValue(dialog, Fields[k].id, numbers.components[k]);
    SetFieldValue(dialog, IDC_VERSION_BUILD, numbers.build);
    return 1; // the dialog sets the default focus
}

std::intptr_t Save(HostWindow dialog, const VersionDialogRecord& record) {
    VersionNumbers numbers{};
    for (int k = 0; k < 4; ++k)
        numbers.components[k] = FieldValue(dialog, Fields[k].id);
    numbers.build = FieldValue(dialog, IDC_VERSION_BUILD);
    if (SaveVersionNumbers(record.moduleName, numbers) != VersionOk) {
        // The dialog stays open with the user's values.
        ShowVersionError(dialog, VersionCannotCreate);
        return 0;
    }
    UiEndDialog(dialog, -1);
    return 1;
}

std::intptr_t VersionDialogProc(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    if (message == UiMsgInitDialog)
        return InitDialog(dialog, *reinterpret_cast<const VersionDialogRecord*>(lParam));
    if (message != UiMsgCommand) return 0;
    int id = static_cast<int>(UiLowWord(wParam));
    switch (id) {
    case UiIdOk: return Save(dialog, RecordOf(dialog));
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

} // namespace

int ShowVersionDialog(const AddInHost& host, const char* name) {
    // The name is kept in 1024 bytes: a longer one is cut, and then names
    // no file the dialog can open.
    VersionDialogRecord record{host, {}};
    std::size_t length = strnlen(name, sizeof record.moduleName - 1);
    std::memcpy(record.moduleName, name, length);
    ShowDialog(host, IDD_VERSION, VersionDialogProc, &record);
    return 1;
}

std::int32_t EditVersionCommand(const AddInHost& host, bool versioning, HostWindow project) {
    if (!versioning || project == 0)
        return static_cast<std::int32_t>(PlatformSendMessage(
            host.main, HostMsgOutput, 0,
            reinterpret_cast<std::intptr_t>("Error - Versioning not enabled!")));
    char buffer[HostSymbolBufferSize];
    std::intptr_t result = AskVersionSymbol(project, buffer);
    if (result == 0 || buffer[0] == '\0') return static_cast<std::int32_t>(result);
    return ShowVersionDialog(host, buffer);
}

} // namespace kelpin
