// The platform seam: everything the add-in asks of the operating system.
//
// The core is written once against these plain functions, and each program
// links exactly one implementation of the ones it calls. The platforms stand
// side by side in src/platforms: win talks to Win32 (SendMessageA, the
// registry, dialogs from resource templates, common dialogs, WinHelp, files)
// for the DLL; posix gives the command-line tool its files, locks, clock and
// current directory, which are all of the seam it calls. The tests link
// doubles (tests/doubles): an in-process Host IDE, a fake registry and a
// scripted user over the POSIX files.
//
// Handles are plain integers wide enough for a pointer: on the 32-bit host a
// window handle is an HWND, in the tests' host it is an index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace kelpin {

using HostWindow = std::uintptr_t; // a host window, an editor, or a dialog
using ModuleHandle = std::uintptr_t;
using IconHandle = std::uintptr_t;
using RegKey = std::uintptr_t;

// ---- Host messages ------------------------------------------------------
// One synchronous message to a window of the host. A message to window 0 does
// nothing and yields 0.
std::intptr_t PlatformSendMessage(HostWindow window, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam);

// ---- Registry (under the current user) ----------------------------------
// Results are Win32 error codes: 0 is success.
enum : unsigned { RegTypeString = 1, RegTypeDword = 4 };
long RegistryOpenKey(const char* subkey, RegKey* key);   // existing key, all access
long RegistryCreateKey(const char* subkey, RegKey* key); // opens or creates
// On entry *size is the capacity of data; on success it is the stored length.
long RegistryQueryValue(RegKey key, const char* name, unsigned* type, void* data, unsigned* size);
long RegistrySetValue(RegKey key, const char* name, unsigned type, const void* data, unsigned size);
void RegistryCloseKey(RegKey key);

// ---- Resources ------------------------------------------------------------
// A 16x16 icon from the module's resources, shared: never destroyed.
IconHandle UiLoadIcon(ModuleHandle module, int resourceId);

// ---- Dialogs ----------------------------------------------------------------
// Dialog messages carry the Win32 numbers, so one dialog procedure serves the
// real dialog and the tests' scripted one.
inline constexpr unsigned UiMsgSize = 0x0005;       // WM_SIZE
inline constexpr unsigned UiMsgClose = 0x0010;      // WM_CLOSE
inline constexpr unsigned UiMsgInitDialog = 0x0110; // WM_INITDIALOG
inline constexpr unsigned UiMsgCommand = 0x0111;    // WM_COMMAND
enum : unsigned { UiNotifyUpdate = 0x0400 };        // EN_UPDATE, in the high word of wParam
enum : int { UiIdOk = 1, UiIdCancel = 2 };

inline unsigned UiLowWord(std::uintptr_t value) {
    return static_cast<unsigned>(value & 0xFFFF);
}
inline unsigned UiHighWord(std::uintptr_t value) {
    return static_cast<unsigned>((value >> 16) & 0xFFFF);
}

// A dialog procedure: TRUE (1) when it handled the message, else FALSE (0).
using DialogProc = std::intptr_t (*)(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                     std::intptr_t lParam);

// Runs the dialog of template templateId modally over owner; the procedure
// gets UiMsgInitDialog with param. Returns the value given to UiEndDialog, or
// -1 when the dialog cannot be created.
std::intptr_t UiDialogBox(ModuleHandle module, int templateId, HostWindow owner, DialogProc proc,
                          std::intptr_t param);
void UiEndDialog(HostWindow dialog, std::intptr_t result);
// The param the open dialog was given by UiDialogBox, at any message after
// UiMsgInitDialog: a dialog's record lives with its window, not in a
// file-level variable. Only for a dialog opened by UiDialogBox.
std::intptr_t UiDialogParam(HostWindow dialog);
void UiSetCaption(HostWindow dialog, const char* text);
// Copies at most size-1 characters and a NUL; returns the count copied.
unsigned UiGetItemText(HostWindow dialog, int id, char* buffer, int size);
unsigned UiGetItemTextLength(HostWindow dialog, int id);
void UiSetItemText(HostWindow dialog, int id, const char* text);
void UiCheckItem(HostWindow dialog, int id, bool checked);
bool UiIsItemChecked(HostWindow dialog, int id);
// Takes back the control's last change (WM_UNDO).
void UiUndoItem(HostWindow dialog, int id);
// Puts the caret at the end of an edit control's text and gives it the focus.
void UiFocusItemEnd(HostWindow dialog, int id);

enum : unsigned {
    UiBoxOk = 0x00,
    UiBoxIconError = 0x10,
    UiBoxIconWarning = 0x30,
    UiBoxIconInformation = 0x40,
};
// A message box; returns the button pressed (1 for OK).
int UiMessageBox(HostWindow owner, const char* text, const char* caption, unsigned flags);

// Flags of the file choosers: the Win32 OFN_ bits the add-in uses.
enum : unsigned {
    UiChooserOverwritePrompt = 0x00002,
    UiChooserHideReadOnly = 0x00004,
    UiChooserPathMustExist = 0x00800,
    UiChooserExplorer = 0x80000,
};
// What both of the add-in's choosers ask for.
inline constexpr unsigned UiChooserStandard =
    UiChooserExplorer | UiChooserPathMustExist | UiChooserHideReadOnly | UiChooserOverwritePrompt;

// The common open and save file choosers. filter is a list of NUL-terminated
// texts ended by an empty one (text, pattern, text, pattern, ...). file is the
// caller's buffer; fileCapacity is the size announced to the chooser. Returns
// 1 when a file was chosen (its full path is then in file), 0 otherwise.
struct FileChooser {
    HostWindow owner;
    const char* filter;
    const char* defaultExtension;
    unsigned flags;
    char* file;
    unsigned fileCapacity;
};
int UiChooseOpenFile(const FileChooser& chooser);
int UiChooseSaveFile(const FileChooser& chooser);

// WinHelpA.
int UiWinHelp(HostWindow window, const char* helpFile, unsigned command, std::uintptr_t data);

// ---- Files ------------------------------------------------------------------
// On a failure the POSIX platform leaves the reason in errno, for the CLI to
// tell; the Windows platform need not.
// Reads a whole file as bytes; false when it cannot be opened or read.
bool FileReadAll(const char* path, std::string* contents);
// True when the file exists and could be opened for reading and writing. A
// folder, a device or a pipe is no file.
bool FileIsWritable(const char* path);
// True when a file could be written at path now: a writable file is there,
// or nothing is there yet and its folder takes new files. Creates nothing.
bool FileCanCreate(const char* path);
// Creates or truncates the file and writes exactly these bytes; false on any
// failure, a short write included (a created file may then be left behind).
bool FileWriteAll(const char* path, std::string_view contents);
// Replaces the file atomically: writes a temporary file beside it, then
// renames it over the old one. False on any failure, and then the old file is
// as it was. An existing file that could not be opened for writing is never
// replaced.
bool FileReplace(const char* path, std::string_view contents);

// ---- Locks ------------------------------------------------------------------
// Serialises the read-modify-write of the files in one folder across
// processes: a build step, an IDE and scripts may rewrite the same files at
// once. FileLockFolder waits, blocked (never polling), until no other process
// holds the lock of the folder that holds path, then holds it; a process that
// holds it already may take it again, and each take is given back with one
// FileUnlockFolder. The lock goes with the process: nothing is left on disk,
// and a process that dies gives it up. 0 when it cannot be taken (the folder
// cannot be opened); the caller goes on unguarded then, and FileUnlockFolder
// ignores 0.
using FolderLock = std::uintptr_t;
FolderLock FileLockFolder(const char* path);
void FileUnlockFolder(FolderLock lock);

// Holds the lock of path's folder for a scope.
struct FolderLockScope {
    explicit FolderLockScope(const char* path) : lock(FileLockFolder(path)) {}
    ~FolderLockScope() { FileUnlockFolder(lock); }
    FolderLockScope(const FolderLockScope&) = delete;
    FolderLockScope& operator=(const FolderLockScope&) = delete;
    FolderLock lock;
};

// ---- Clock and process ------------------------------------------------------
// The current local time, broken down.
bool ClockLocalNow(std::tm* now);
// The process's current directory, without a trailing separator except at a
// root; false when it cannot be read.
bool ProcessCurrentDirectory(std::string* directory);

} // namespace kelpin
