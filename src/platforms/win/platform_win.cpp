// The seam on Windows: the real host windows, registry, dialogs from the
// DLL's resource templates, common dialogs, WinHelp and files.
#include <windows.h>
// commdlg.h needs windows.h before it.
#include <commdlg.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "seam/platform.h"

namespace kelpin {

namespace {

HWND Hwnd(HostWindow window) {
    return reinterpret_cast<HWND>(window);
}

// The portable dialog procedure and its parameter, handed to the thunk
// through WM_INITDIALOG and kept in the dialog's user data. It lives on the
// stack of UiDialogBox, which returns only once the dialog is gone.
struct DialogBinding {
    DialogProc proc;
    std::intptr_t param;
};

INT_PTR CALLBACK DialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* binding = reinterpret_cast<DialogBinding*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(binding));
        return binding->proc(reinterpret_cast<HostWindow>(dialog), message, wParam, binding->param);
    }
    auto* binding = reinterpret_cast<DialogBinding*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (binding == nullptr) return FALSE; // messages before WM_INITDIALOG
    return binding->proc(reinterpret_cast<HostWindow>(dialog), message, wParam, lParam);
}

bool WriteHandle(HANDLE file, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

} // namespace

std::intptr_t PlatformSendMessage(HostWindow window, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    if (window == 0) return 0;
    return SendMessageA(Hwnd(window), message, wParam, lParam);
}

long RegistryOpenKey(const char* subkey, RegKey* key) {
    HKEY opened = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_ALL_ACCESS, &opened);
    if (error == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
    return error;
}

long RegistryCreateKey(const char* subkey, RegKey* key) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                 &created, &disposition);
    if (error == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(created);
    return error;
}

long RegistryQueryValue(RegKey key, const char* name, unsigned* type, void* data, unsigned* size) {
    DWORD valueType = 0;
    DWORD length = *size;
    LONG error = RegQueryValueExA(reinterpret_cast<HKEY>(key), name, nullptr, &valueType,
                                  static_cast<BYTE*>(data), &length);
    if (type) *type = valueType;
    *size = length;
    return error;
}

long RegistrySetValue(RegKey key, const char* name, unsigned type, const void* data,
                      unsigned size) {
    return RegSetValueExA(reinterpret_cast<HKEY>(key), name, 0, type,
                          static_cast<const BYTE*>(data), size);
}

void RegistryCloseKey(RegKey key) {
    if (key) RegCloseKey(reinterpret_cast<HKEY>(key));
}

IconHandle UiLoadIcon(ModuleHandle module, int resourceId) {
    return reinterpret_cast<IconHandle>(LoadImageA(reinterpret_cast<HINSTANCE>(module),
                                                   MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 16, 16,
                                                   LR_SHARED));
}

std::intptr_t UiDialogBox(ModuleHandle module, int templateId, HostWindow owner, DialogProc proc,
                          std::intptr_t param) {
    DialogBinding binding{proc, param};
    return DialogBoxParamA(reinterpret_cast<HINSTANCE>(module), MAKEINTRESOURCEA(templateId),
                           Hwnd(owner), DialogThunk, reinterpret_cast<LPARAM>(&binding));
}

void UiEndDialog(HostWindow dialog, std::intptr_t result) {
    EndDialog(Hwnd(dialog), result);
}

std::intptr_t UiDialogParam(HostWindow dialog) {
    auto* binding = reinterpret_cast<DialogBinding*>(GetWindowLongPtrA(Hwnd(dialog), DWLP_USER));
    return binding ? binding->param : 0;
}

void UiSetCaption(HostWindow dialog, const char* text) {
    SetWindowTextA(Hwnd(dialog), text);
}

unsigned UiGetItemText(HostWindow dialog, int id, char* buffer, int size) {
    return GetDlgItemTextA(Hwnd(dialog), id, buffer, size);
}

unsigned UiGetItemTextLength(HostWindow dialog, int id) {
    return static_cast<unsigned>(GetWindowTextLengthA(GetDlgItem(Hwnd(dialog), id)));
}

void UiSetItemText(HostWindow dialog, int id, const char* text) {
    HWND item = GetDlgItem(Hwnd(dialog), id);
    // An edit control holds about 30,000 characters unless told otherwise;
    // a long text (a large prototype listing) must appear whole.
    char className[16] = {};
    GetClassNameA(item, className, sizeof className);
    if (lstrcmpiA(className, "Edit") == 0) SendMessageA(item, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextA(item, text);
}

void UiCheckItem(HostWindow dialog, int id, bool checked) {
    CheckDlgButton(Hwnd(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool UiIsItemChecked(HostWindow dialog, int id) {
    return IsDlgButtonChecked(Hwnd(dialog), id) == BST_CHECKED;
}

void UiUndoItem(HostWindow dialog, int id) {
    SendDlgItemMessageA(Hwnd(dialog), id, WM_UNDO, 0, 0);
}

void UiFocusItemEnd(HostWindow dialog, int id) {
    HWND item = GetDlgItem(Hwnd(dialog), id);
    int length = GetWindowTextLengthA(item);
    SendMessageA(item, EM_SETSEL, length, length);
    SetFocus(item);
}

int UiMessageBox(HostWindow owner, const char* text, const char* caption, unsigned flags) {
    return MessageBoxA(Hwnd(owner), text, caption, flags);
}

namespace {
// The chooser's record in its original form, without the fields later systems
// added (OPENFILENAME_SIZE_VERSION_400A, written so the compiler can check
// it): 76 bytes on i686, 136 on x86_64, where the chooser refuses any other
// size.
constexpr DWORD OpenFileNameOriginalSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(sizeof(void*) != 4 || OpenFileNameOriginalSize == 76);
static_assert(sizeof(void*) != 8 || OpenFileNameOriginalSize == 136);

OPENFILENAMEA FileDialogRecord(const FileChooser& chooser) {
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OpenFileNameOriginalSize;
    ofn.hwndOwner = Hwnd(chooser.owner);
    ofn.lpstrFilter = chooser.filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = chooser.file;
    ofn.nMaxFile = chooser.fileCapacity;
    ofn.nMaxFileTitle = 260;
    ofn.Flags = chooser.flags;
    ofn.lpstrDefExt = chooser.defaultExtension;
    return ofn;
}
} // namespace

int UiChooseOpenFile(const FileChooser& chooser) {
    OPENFILENAMEA ofn = FileDialogRecord(chooser);
    return GetOpenFileNameA(&ofn) ? 1 : 0;
}

int UiChooseSaveFile(const FileChooser& chooser) {
    OPENFILENAMEA ofn = FileDialogRecord(chooser);
    return GetSaveFileNameA(&ofn) ? 1 : 0;
}

int UiWinHelp(HostWindow window, const char* helpFile, unsigned command, std::uintptr_t data) {
    return WinHelpA(Hwnd(window), helpFile, command, data);
}

bool FileReadAll(const char* path, std::string* contents) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0)
        out.append(buffer, got);
    CloseHandle(file);
    if (!ok) return false;
    *contents = std::move(out);
    return true;
}

bool FileIsWritable(const char* path) {
    // The read-only attribute is asked first: a process with every right (Wine
    // run as root) could open such a file for writing all the same.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool FileCanCreate(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) &&
               FileIsWritable(path);
    // Nothing there: the folder is asked by making the file, which goes again
    // as its handle closes.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool FileWriteAll(const char* path, std::string_view contents) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteHandle(file, contents);
    return CloseHandle(file) && ok;
}

bool FileReplace(const char* path, std::string_view contents) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !FileIsWritable(path)) return false;
    std::string temp = std::string(path) + ".kelpin-tmp";
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteHandle(file, contents) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (ok && MoveFileExA(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temp.c_str());
    return false;
}

FolderLock FileLockFolder(const char* path) {
    // A file is replaced by moving a new one over it, and a folder cannot be
    // locked by byte range, so the lock is a mutex named after the folder's
    // full path (letter case aside): the system keeps it, it leaves nothing on
    // disk, a waiter sleeps in the kernel, and when its owner ends it passes
    // to the next waiter as abandoned, which still means held. The owning
    // thread may take it again.
    char full[32768];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path, sizeof full, full, &filePart);
    if (n == 0 || n >= sizeof full) return 0;
    std::string folder(full, filePart != nullptr ? static_cast<std::size_t>(filePart - full) : n);
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    CharUpperBuffA(folder.data(), static_cast<DWORD>(folder.size()));
    // FNV-1a over the folder's path, a "/" read as a backslash.
    unsigned long long hash = 14695981039346656037ULL;
    for (char c : folder) {
        hash ^= static_cast<unsigned char>(c == '/' ? '\\' : c);
        hash *= 1099511628211ULL;
    }
    char name[64];
    std::snprintf(name, sizeof name, "kelpin-folder-lock-%016llx", hash);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) return 0;
    DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return 0;
    }
    return reinterpret_cast<FolderLock>(mutex);
}

void FileUnlockFolder(FolderLock lock) {
    if (lock == 0) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(lock);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

bool ClockLocalNow(std::tm* now) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    std::memset(now, 0, sizeof *now);
    now->tm_year = local.wYear - 1900;
    now->tm_mon = local.wMonth - 1;
    now->tm_mday = local.wDay;
    now->tm_hour = local.wHour;
    now->tm_min = local.wMinute;
    now->tm_sec = local.wSecond;
    now->tm_wday = local.wDayOfWeek;
    now->tm_isdst = -1;
    return true;
}

bool ProcessCurrentDirectory(std::string* directory) {
    char buffer[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return false;
    *directory = std::string(buffer, n);
    return true;
}

} // namespace kelpin
