// The Host IDE interface: the window messages the add-in sends, the records
// they carry, and the events, kinds and flags of the entry points.
//
// Every message goes to a window of the host (its main window, a project
// window or a source editor) through PlatformSendMessage; the numbers are the
// host's own and must not change.
#pragma once

#include <cstdint>

#include "seam/platform.h"

namespace kelpin {

enum : unsigned {
    HostMsgAddCommand = 0x83E8,       // main: lParam HostCommandInfo -> non-zero registered
    HostMsgRemoveCommand = 0x83E9,    // main: wParam command id -> non-zero removed
    HostMsgGetActiveEditor = 0x83EA,  // main: -> editor window, 0 if none
    HostMsgAddProjectFile = 0x83F0,   // project: lParam full path -> non-zero added
    HostMsgGetProjectSymbol = 0x83F2, // project: wParam name, lParam 4096-byte buffer
    HostMsgGetEditorKind = 0x83F6,    // editor: -> 1 for a source editor
    HostMsgGetDocumentInfo = 0x83F7,  // editor: lParam HostDocumentInfo -> non-zero filled
    HostMsgGetText = 0x83FE,          // editor: wParam n, lParam n+1 bytes -> count copied
    HostMsgGetTextLength = 0x83FF,    // editor: -> length in characters
    HostMsgGetSelectedText = 0x8403,  // editor: wParam size less 1, lParam buffer
    HostMsgReplaceSelection = 0x8404, // editor: lParam text
    HostMsgGetSelection = 0x8405,     // editor: lParam HostSelection -> non-zero filled
    HostMsgSetSelection = 0x8406,     // editor: lParam HostSelection
    HostMsgLineIndex = 0x8408,        // editor: wParam 0-based line -> first position
    HostMsgLineFromChar = 0x840A,     // editor: wParam position -> 0-based line
    HostMsgScrollCaret = 0x840D,      // editor: caret scrolled into view
    HostMsgFindText = 0x840E,         // editor: wParam find flags, lParam text -> position
    HostMsgOutput = 0x8411,           // main: lParam text or 0
};

// Events of AddInMain.
enum : int {
    HostEventLoad = 1,
    HostEventUnload = 2,
    HostEventProject = 3,
    HostEventBuild = 8,
};

enum : int { HostHelpKeyword = 2 };
enum : int { HostKindSource = 1 };

// Find flags of HostMsgFindText: toward the end (else toward the start), and
// matching case.
enum : unsigned { HostFindDown = 1, HostFindMatchCase = 4 };

// The record of one command registration. The host copies it during the call,
// so one record is refilled for every registration. On the 32-bit host it is
// five 32-bit fields, 20 bytes, which is what the size field announces.
struct HostCommandInfo {
    std::uint32_t size;
    std::int32_t id;
    const char* name;
    IconHandle icon;
    std::uint32_t flags;
};
inline constexpr std::uint32_t HostCommandInfoSize = 20;
static_assert(sizeof(void*) != 4 || sizeof(HostCommandInfo) == HostCommandInfoSize);

struct HostDocumentInfo {
    std::uint32_t size; // 280 before the call
    std::uint32_t kind; // HostKindSource for a C source editor
    char reserved[12];
    char path[260]; // full file name, directories separated by "\"
};
inline constexpr std::uint32_t HostDocumentInfoSize = 280;
static_assert(sizeof(HostDocumentInfo) == HostDocumentInfoSize);

struct HostSelection {
    std::int32_t start;
    std::int32_t end;
};

// The capacity of a project symbol's value: the buffer is 4096 bytes and its
// first 32-bit word holds 4095 on entry.
inline constexpr int HostSymbolBufferSize = 4096;

} // namespace kelpin
