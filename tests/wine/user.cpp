// The watcher and the scripted user.
//
// The add-in's calls that open windows (DialogBoxParamA, MessageBoxA, the
// file choosers) and WinHelpA are seen through its import table, which the
// harness points at the hooks below; each hook records the call and calls the
// real function. A CBT hook on the host's thread ties each new top-level
// dialog window to the call that is creating it. The user's thread waits for
// those windows and works them; everything it does to a window runs on the
// host's thread as a posted job, so it happens in order, inside the modal
// loop, as real input would.
#include <windows.h>
// commdlg.h builds on windows.h.
#include <commdlg.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/harness.h"
#include "tests/wine/internal.h"

namespace kelpin::wine {

namespace {

constexpr DWORD WaitLimit = 5000;      // for a job to run, a dialog to end
DWORD patience = WaitLimit;            // for a window to open
constexpr DWORD UnattendedGrace = 700; // before an unanswered window is closed
constexpr UINT RunJobMessage = WM_APP + 0x77;

enum class Kind { Dialog, MessageBox, Chooser, Other };

// One window the add-in (or the system, for it) opened, in opening order.
struct Item {
    Kind kind;
    int templateId = 0;
    DLGPROC proc = nullptr;
    std::size_t record = 0; // index into the records of its kind
    HWND hwnd = nullptr;
    bool initialised = false; // a dialog's WM_INITDIALOG has returned
    bool ended = false;
    std::intptr_t result = 0;
    bool consumed = false; // handed to a script
    bool forced = false;   // closed by the harness
    std::string caption;   // a system window's caption when it was created
    DWORD unattendedSince = 0;
};

struct Job {
    std::function<void()> fn;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string error;
    ~Job() { CloseHandle(done); }
};

CRITICAL_SECTION lock;
struct Locked {
    Locked() { EnterCriticalSection(&lock); }
    ~Locked() { LeaveCriticalSection(&lock); }
};

std::deque<Item> items;
std::vector<std::size_t> running; // items whose opening call is under way, innermost last
std::vector<MessageBoxRecord> messageBoxes;
std::vector<ChooserRecord> choosers;
std::vector<DialogRecord> dialogs;
std::vector<HelpRecord> helpCalls;
int helpResult = 1;

HWND helper = nullptr;
HHOOK cbtHook = nullptr;

// The system's own functions, for the hooks to call: the import slots they
// would go through may point at the hooks themselves.
struct RealFunctions {
    decltype(&DialogBoxParamA) dialogBox;
    decltype(&MessageBoxA) messageBox;
    decltype(&GetOpenFileNameA) openFileName;
    decltype(&GetSaveFileNameA) saveFileName;
} real;

template <typename T> void Resolve(T* slot, const char* dll, const char* name) {
    *slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(dll), name)));
}
HANDLE userThread = nullptr;
HANDLE scriptReady = nullptr;
HANDLE scriptDone = nullptr;
const UserScript* pendingScript = nullptr;
volatile LONG scriptRunning = 0;
volatile LONG stopping = 0;

HostWindow Handle(HWND window) {
    return reinterpret_cast<HostWindow>(window);
}

std::size_t NewItem(Kind kind, int templateId, DLGPROC proc, std::size_t record) {
    Item item;
    item.kind = kind;
    item.templateId = templateId;
    item.proc = proc;
    item.record = record;
    items.push_back(item);
    running.push_back(items.size() - 1);
    return items.size() - 1;
}

void EndItem(std::size_t index, std::intptr_t result) {
    items[index].ended = true;
    items[index].result = result;
    if (!running.empty() && running.back() == index) running.pop_back();
}

std::string Describe(const Item& item) {
    switch (item.kind) {
    case Kind::Dialog: return "dialog " + std::to_string(item.templateId);
    case Kind::MessageBox:
        return "message box " + Show(messageBoxes[item.record].text) + " (caption " +
               Show(messageBoxes[item.record].caption) + ")";
    case Kind::Chooser: return choosers[item.record].save ? "save chooser" : "open chooser";
    case Kind::Other: return "system window " + Show(item.caption);
    }
    return "window";
}

// ---- Hooks on the add-in's imports ------------------------------------------

INT_PTR CALLBACK WrapDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    std::size_t index = 0;
    {
        Locked guard;
        // Its own item; else, the first message of a new dialog, the one
        // being opened now. An open dialog's messages while another opens
        // over it must not be taken for the new one's.
        bool found = false;
        for (std::size_t i = items.size(); i-- > 0 && !found;)
            if (items[i].kind == Kind::Dialog && !items[i].ended && items[i].hwnd == window) {
                index = i;
                found = true;
            }
        if (!found && !running.empty() && items[running.back()].kind == Kind::Dialog &&
            items[running.back()].hwnd == nullptr) {
            index = running.back();
            items[index].hwnd = window;
            found = true;
        }
        if (found) proc = items[index].proc;
    }
    if (proc == nullptr) return FALSE;
    if (message == WM_SHOWWINDOW && wParam) {
        Locked guard;
        dialogs[items[index].record].shown = true;
    }
    INT_PTR result = proc(window, message, wParam, lParam);
    if (message == WM_INITDIALOG) {
        Locked guard;
        items[index].initialised = true;
    }
    return result;
}

INT_PTR WINAPI HookDialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                                   LPARAM param) {
    int templateId = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<std::uintptr_t>(name)) : -1;
    std::size_t index;
    {
        Locked guard;
        dialogs.push_back({templateId, Handle(owner), 0, false});
        index = NewItem(Kind::Dialog, templateId, proc, dialogs.size() - 1);
    }
    INT_PTR result = real.dialogBox(instance, name, owner, WrapDialogProc, param);
    Locked guard;
    dialogs[items[index].record].result = result;
    EndItem(index, result);
    return result;
}

int WINAPI HookMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    std::size_t index;
    {
        Locked guard;
        messageBoxes.push_back({Handle(owner), text ? text : "", caption ? caption : "", type, 0});
        index = NewItem(Kind::MessageBox, 0, nullptr, messageBoxes.size() - 1);
    }
    int result = real.messageBox(owner, text, caption, type);
    Locked guard;
    messageBoxes[items[index].record].result = result;
    EndItem(index, result);
    return result;
}

BOOL RunChooser(bool save, OPENFILENAMEA* ofn) {
    ChooserRecord record{};
    record.save = save;
    record.owner = Handle(ofn->hwndOwner);
    for (const char* p = ofn->lpstrFilter; p && *p; p += std::strlen(p) + 1)
        record.filter.push_back(p);
    record.filterIndex = ofn->nFilterIndex;
    record.defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "";
    record.flags = ofn->Flags;
    record.fileCapacity = ofn->nMaxFile;
    record.initialFile = ofn->lpstrFile ? ofn->lpstrFile : "";
    std::size_t index;
    {
        Locked guard;
        choosers.push_back(record);
        index = NewItem(Kind::Chooser, 0, nullptr, choosers.size() - 1);
    }
    BOOL chosen = save ? real.saveFileName(ofn) : real.openFileName(ofn);
    Locked guard;
    ChooserRecord& done = choosers[items[index].record];
    done.chosen = chosen != FALSE;
    done.chosenFile = ofn->lpstrFile ? ofn->lpstrFile : "";
    EndItem(index, chosen);
    return chosen;
}

BOOL WINAPI HookGetOpenFileNameA(OPENFILENAMEA* ofn) {
    return RunChooser(false, ofn);
}
BOOL WINAPI HookGetSaveFileNameA(OPENFILENAMEA* ofn) {
    return RunChooser(true, ofn);
}

// No help viewer runs in the tests: the call is recorded and answered.
BOOL WINAPI HookWinHelpA(HWND window, LPCSTR file, UINT command, ULONG_PTR data) {
    Locked guard;
    std::string keyword = (command == HELP_KEY && data) ? reinterpret_cast<const char*>(data) : "";
    helpCalls.push_back({Handle(window), file ? file : "", command, keyword});
    return helpResult;
}

// Points one imported function of module at replacement; false when the
// module does not import it.
bool PatchImport(HMODULE module, const char* dll, const char* function, const void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return false;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name; ++import) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + import->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0) continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        char className[16] = "";
        GetClassNameA(window, className, sizeof className);
        if (!(create->lpcs->style & WS_CHILD) && std::strcmp(className, "#32770") == 0) {
            Locked guard;
            if (!running.empty() && items[running.back()].hwnd == nullptr)
                items[running.back()].hwnd = window;
            else {
                // A dialog of the system's own (the chooser's confirmation).
                Item item;
                item.kind = Kind::Other;
                item.hwnd = window;
                if (create->lpcs->lpszName && !IS_INTRESOURCE(create->lpcs->lpszName))
                    item.caption = create->lpcs->lpszName;
                items.push_back(item);
            }
        }
    } else if (code == HCBT_DESTROYWND) {
        Locked guard;
        for (Item& item : items)
            if (item.kind == Kind::Other && item.hwnd == reinterpret_cast<HWND>(wParam))
                item.ended = true;
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

// ---- Jobs on the host's thread -------------------------------------------------

LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != RunJobMessage) return DefWindowProcA(window, message, wParam, lParam);
    auto* job = reinterpret_cast<std::shared_ptr<Job>*>(lParam);
    try {
        (*job)->fn();
    } catch (const ScenarioAborted&) {
        (*job)->error = "aborted on the host's thread";
    }
    SetEvent((*job)->done);
    delete job;
    return 0;
}

std::size_t ItemCount() {
    Locked guard;
    return items.size();
}

// Runs fn on the host's thread. An action may open a window, and then its
// job goes on behind that window: the wait ends as soon as one opens.
void RunJob(const Where& where, std::function<void()> fn, bool action) {
    auto job = std::make_shared<Job>();
    job->fn = std::move(fn);
    std::size_t before = ItemCount();
    if (!PostMessageA(helper, RunJobMessage, 0,
                      reinterpret_cast<LPARAM>(new std::shared_ptr<Job>(job))))
        Abort(where.file_name(), where.line(), "cannot reach the host's thread");
    DWORD start = GetTickCount();
    while (WaitForSingleObject(job->done, 10) != WAIT_OBJECT_0) {
        if (action && ItemCount() > before) return;
        if (GetTickCount() - start > WaitLimit)
            Abort(where.file_name(), where.line(),
                  "the host's thread did not run the user's input in time");
    }
    if (!job->error.empty()) Abort(where.file_name(), where.line(), job->error);
}

HWND Control(HWND dialog, int id, std::string* error) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        char caption[256] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        *error = "no control " + std::to_string(id) + " in " + Show(std::string(caption));
    }
    return control;
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// Posts the harness's close to a window nobody answers: EndDialog on the
// host's thread, as every window it tracks is a dialog.
void ForceClose(HWND window) {
    auto job = std::make_shared<Job>();
    job->fn = [window] {
        if (IsWindow(window)) EndDialog(window, IDCANCEL);
    };
    PostMessageA(helper, RunJobMessage, 0, reinterpret_cast<LPARAM>(new std::shared_ptr<Job>(job)));
}

// With no script running, a window nobody takes is unexpected, and one a
// finished script left open was forgotten: each fails the scenario and is
// closed after a moment's grace, so the scenario goes on.
void Sentinel() {
    std::vector<HWND> close;
    {
        Locked guard;
        DWORD now = GetTickCount();
        for (Item& item : items) {
            if (item.forced || item.hwnd == nullptr) continue;
            if (item.ended || !IsWindow(item.hwnd)) {
                if (!item.consumed)
                    Fail("watcher", 0, "unexpected " + Describe(item) + " (it closed itself)");
                item.consumed = true;
                continue;
            }
            if (!IsWindowVisible(item.hwnd)) continue;
            if (item.unattendedSince == 0) {
                item.unattendedSince = now;
                continue;
            }
            if (now - item.unattendedSince < UnattendedGrace) continue;
            Fail("watcher", 0,
                 item.consumed ? Describe(item) + " was left open by the user's script"
                               : "unexpected " + Describe(item) + ": no script answered it");
            item.forced = item.consumed = true;
            close.push_back(item.hwnd);
        }
    }
    for (HWND window : close)
        ForceClose(window);
}

DWORD WINAPI UserThread(LPVOID) {
    User user;
    while (!stopping) {
        if (WaitForSingleObject(scriptReady, 50) == WAIT_OBJECT_0 && pendingScript) {
            try {
                (*pendingScript)(user);
            } catch (const ScenarioAborted&) {
            } catch (const std::exception& e) {
                Fail("watcher", 0, std::string("exception in the user's script: ") + e.what());
            }
            pendingScript = nullptr;
            InterlockedExchange(&scriptRunning, 0);
            SetEvent(scriptDone);
            continue;
        }
        if (!scriptRunning) Sentinel();
    }
    return 0;
}

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The next window nobody has taken yet, once it can be worked: a dialog
// after its initialisation, any window once shown (or already ended).
Item Next(const Where& where, const std::string& wanted,
          const std::function<bool(const Item&)>& fits) {
    DWORD start = GetTickCount();
    for (;;) {
        {
            Locked guard;
            for (Item& item : items) {
                if (item.consumed) continue;
                if (item.hwnd == nullptr && !item.ended) break;
                bool ready = item.ended || (IsWindowVisible(item.hwnd) &&
                                            (item.kind != Kind::Dialog || item.initialised));
                // A dialog in its WM_INITDIALOG: what it opens meanwhile
                // comes first, and the dialog is taken after it.
                if (!ready && item.kind == Kind::Dialog && !item.initialised) continue;
                if (!ready) break;
                item.consumed = true;
                if (!fits(item))
                    Abort(where.file_name(), where.line(),
                          "expected " + wanted + ", but the add-in opened " + Describe(item));
                return item;
            }
        }
        if (GetTickCount() - start > patience)
            Abort(where.file_name(), where.line(),
                  "expected " + wanted + ", but no window opened within " +
                      std::to_string(patience) + " ms");
        Sleep(10);
    }
}

} // namespace

INT_PTR TrackedDialogBox(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    return HookDialogBoxParamA(instance, name, owner, proc, param);
}
int TrackedMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return HookMessageBoxA(owner, text, caption, type);
}
BOOL TrackedOpenFileName(OPENFILENAMEA* ofn) {
    return RunChooser(false, ofn);
}
BOOL TrackedSaveFileName(OPENFILENAMEA* ofn) {
    return RunChooser(true, ofn);
}

// ---- Records --------------------------------------------------------------------

const std::vector<MessageBoxRecord>& MessageBoxes() {
    return messageBoxes;
}
const std::vector<ChooserRecord>& Choosers() {
    return choosers;
}
const std::vector<DialogRecord>& Dialogs() {
    return dialogs;
}
const std::vector<HelpRecord>& HelpCalls() {
    return helpCalls;
}
void SetHelpResult(int result) {
    helpResult = result;
}

// ---- Set-up -----------------------------------------------------------------------

void WatchAddIn(HMODULE module) {
    PatchImport(module, "user32.dll", "DialogBoxParamA",
                reinterpret_cast<const void*>(HookDialogBoxParamA));
    PatchImport(module, "user32.dll", "MessageBoxA",
                reinterpret_cast<const void*>(HookMessageBoxA));
    PatchImport(module, "user32.dll", "WinHelpA", reinterpret_cast<const void*>(HookWinHelpA));
    PatchImport(module, "comdlg32.dll", "GetOpenFileNameA",
                reinterpret_cast<const void*>(HookGetOpenFileNameA));
    PatchImport(module, "comdlg32.dll", "GetSaveFileNameA",
                reinterpret_cast<const void*>(HookGetSaveFileNameA));
}

void StartUser() {
    InitializeCriticalSection(&lock);
    Resolve(&real.dialogBox, "user32.dll", "DialogBoxParamA");
    Resolve(&real.messageBox, "user32.dll", "MessageBoxA");
    Resolve(&real.openFileName, "comdlg32.dll", "GetOpenFileNameA");
    Resolve(&real.saveFileName, "comdlg32.dll", "GetSaveFileNameA");
    // The host links the Windows seam too, for the scenarios that try it
    // directly: its calls are watched as the add-in's are.
    WatchAddIn(GetModuleHandleA(nullptr));
    cbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HelperProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KelpinHarnessHelper";
    RegisterClassA(&windowClass);
    helper = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
    scriptReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    scriptDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    userThread = CreateThread(nullptr, 0, UserThread, nullptr, 0, nullptr);
}

void StopUser() {
    InterlockedExchange(&stopping, 1);
    while (MsgWaitForMultipleObjects(1, &userThread, FALSE, 2000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        Pump();
}

std::intptr_t WithUser(const std::function<std::intptr_t()>& action, const UserScript& script) {
    pendingScript = &script;
    InterlockedExchange(&scriptRunning, 1);
    ResetEvent(scriptDone);
    SetEvent(scriptReady);
    std::intptr_t result = action();
    // The script may still be waiting for a window or running input: keep
    // the host's thread answering until it is done.
    while (scriptRunning) {
        if (MsgWaitForMultipleObjects(1, &scriptDone, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        Pump();
    }
    Pump();
    return result;
}

void OnHostThread(const std::function<void()>& fn, Where where) {
    RunJob(where, fn, false);
}

// ---- The user's view of a window ---------------------------------------------------

std::string Window::Caption(Where where) const {
    std::string caption;
    HWND window = hwnd_;
    RunJob(
        where, [&] { caption = WindowText(window); }, false);
    return caption;
}

std::string Window::Text(int id, Where where) const {
    std::string text, error;
    HWND window = hwnd_;
    RunJob(
        where,
        [&] {
            if (HWND control = Control(window, id, &error)) text = WindowText(control);
        },
        false);
    if (!error.empty()) Abort(where.file_name(), where.line(), error);
    return text;
}

bool Window::IsChecked(int id, Where where) const {
    bool checked = false;
    HWND window = hwnd_;
    RunJob(
        where, [&] { checked = IsDlgButtonChecked(window, id) == BST_CHECKED; }, false);
    return checked;
}

bool Window::IsEnabled(int id, Where where) const {
    bool enabled = false;
    HWND window = hwnd_;
    RunJob(
        where, [&] { enabled = IsWindowEnabled(GetDlgItem(window, id)) != FALSE; }, false);
    return enabled;
}

bool Window::Exists(int id, Where where) const {
    bool exists = false;
    HWND window = hwnd_;
    RunJob(
        where, [&] { exists = GetDlgItem(window, id) != nullptr; }, false);
    return exists;
}

namespace {
// Input for a control a user can reach: it exists, is shown and enabled.
// Errors are kept by the job (the user's thread aborts on them).
std::shared_ptr<std::string> InputJob(const Where& where, HWND window, int id,
                                      std::function<void(HWND)> input) {
    auto error = std::make_shared<std::string>();
    RunJob(
        where,
        [=] {
            HWND control = Control(window, id, error.get());
            if (control == nullptr) return;
            if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
                *error = "control " + std::to_string(id) + " cannot be reached: hidden or disabled";
                return;
            }
            input(control);
        },
        true);
    return error;
}
void Check(const Where& where, const std::shared_ptr<std::string>& error) {
    if (!error->empty()) Abort(where.file_name(), where.line(), *error);
}
} // namespace

void Window::Type(int id, const std::string& text, Where where) const {
    Check(where, InputJob(where, hwnd_, id, [text](HWND edit) {
              SetFocus(edit);
              SendMessageA(edit, EM_SETSEL, 0, -1);
              SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
          }));
}

void Window::SetChecked(int id, bool checked, Where where) const {
    if (IsChecked(id, where) == checked) return;
    Press(id, where);
}

void Window::Press(int id, Where where) const {
    Check(where,
          InputJob(where, hwnd_, id, [](HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }));
}

void Window::Close(Where where) const {
    HWND window = hwnd_;
    RunJob(
        where, [window] { SendMessageA(window, WM_CLOSE, 0, 0); }, true);
}

bool Window::Ended() const {
    return !IsWindow(hwnd_);
}

std::intptr_t Dialog::Result(Where where) const {
    DWORD start = GetTickCount();
    for (;;) {
        {
            Locked guard;
            for (const Item& item : items)
                if (item.kind == Kind::Dialog && item.hwnd == hwnd_ && item.ended)
                    return item.result;
        }
        if (GetTickCount() - start > WaitLimit)
            Abort(where.file_name(), where.line(),
                  "dialog " + std::to_string(templateId_) + " did not end");
        Sleep(10);
    }
}

void Dialog::EndNow(std::intptr_t result, Where where) const {
    HWND window = hwnd_;
    RunJob(
        where, [=] { EndDialog(window, result); }, false);
}

void Chooser::Choose(const std::string& path, Where where) const {
    // The file name box: a combo box in the explorer-style chooser, a plain
    // edit in the older one.
    constexpr int FileNameCombo = 0x47C, FileNameEdit = 0x480;
    auto error = std::make_shared<std::string>();
    HWND window = hwnd_;
    RunJob(
        where,
        [=] {
            HWND name = GetDlgItem(window, FileNameCombo);
            if (name == nullptr || !IsWindowVisible(name)) name = GetDlgItem(window, FileNameEdit);
            if (name == nullptr) {
                *error = "the chooser has no file name box";
                return;
            }
            SetWindowTextA(name, path.c_str());
            SendMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        },
        true);
    Check(where, error);
}

void Chooser::Cancel(Where where) const {
    Press(IDCANCEL, where);
}

// ---- Expectations ----------------------------------------------------------------

Dialog User::ExpectDialog(int templateId, Where where) {
    Item item = Next(where, "dialog " + std::to_string(templateId), [templateId](const Item& i) {
        return i.kind == Kind::Dialog && i.templateId == templateId;
    });
    return Dialog(item.hwnd, item.templateId);
}

MessageBoxSeen User::ExpectMessageBox(Where where) {
    Item item =
        Next(where, "a message box", [](const Item& i) { return i.kind == Kind::MessageBox; });
    Locked guard;
    return MessageBoxSeen(item.hwnd, messageBoxes[item.record]);
}

Chooser User::ExpectChooser(Where where) {
    Item item =
        Next(where, "a file chooser", [](const Item& i) { return i.kind == Kind::Chooser; });
    Locked guard;
    return Chooser(item.hwnd, choosers[item.record]);
}

Window User::ExpectOtherWindow(Where where) {
    Item item = Next(where, "a system window", [](const Item& i) { return i.kind == Kind::Other; });
    return Window(item.hwnd);
}

void User::Patience(DWORD milliseconds) {
    patience = milliseconds;
}

void User::ExpectNothingMore(DWORD milliseconds, Where where) {
    Sleep(milliseconds);
    Locked guard;
    for (const Item& item : items)
        if (!item.consumed) {
            Fail(where.file_name(), where.line(), "unexpected " + Describe(item));
            return;
        }
}

} // namespace kelpin::wine
