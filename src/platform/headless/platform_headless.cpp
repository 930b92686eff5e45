// The seam on Linux: host messages go to the in-process Host IDE, dialogs to
// the scripted user, the registry lives in memory (or in a file for the CLI),
// files are POSIX files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <new>
#include <sstream>

#include "platform/headless/headless.h"
#include "platform/headless/templates.h"

namespace kelpin::headless {

namespace {

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
    std::string caption;
    std::vector<Control> controls;
    bool ended = false;
    std::intptr_t result = 0;
    int focus = 0;
};

struct State {
    HostModel host;
    std::map<std::string, RegistryKeyValues> registry;
    std::string registryFile;
    std::vector<std::string> registryWrites;
    long failRegistryCreate = 0;
    std::map<RegKey, std::string> openKeys;
    RegKey nextKey = 1;

    std::vector<MessageBoxRecord> boxes;
    bool echoBoxes = false;

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

State& S() {
    static State state;
    return state;
}

Dialog* FindDialog(HostWindow window) {
    auto it = S().dialogs.find(window);
    return it == S().dialogs.end() ? nullptr : &it->second;
}

Control* FindControl(HostWindow window, int id) {
    Dialog* dialog = FindDialog(window);
    if (dialog == nullptr) return nullptr;
    for (Control& control : dialog->controls)
        if (control.id == id) return &control;
    return nullptr;
}

std::uintptr_t MakeWParam(int id, unsigned notification) {
    return (static_cast<std::uintptr_t>(notification & 0xFFFF) << 16) |
           (static_cast<unsigned>(id) & 0xFFFF);
}

std::intptr_t Send(HostWindow window, unsigned message, std::uintptr_t wParam,
                   std::intptr_t lParam) {
    Dialog* dialog = FindDialog(window);
    return dialog ? dialog->proc(window, message, wParam, lParam) : 0;
}

// ---- Registry file ----------------------------------------------------------
// One value a line: key, name, type and the data in hex, separated by tabs.

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Unhex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2) return false;
    bytes->clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        char* end = nullptr;
        long value = std::strtol(pair, &end, 16);
        if (*end) return false;
        bytes->push_back(static_cast<char>(value));
    }
    return true;
}

void SaveRegistry() {
    if (S().registryFile.empty()) return;
    std::string out;
    for (const auto& [key, values] : S().registry) {
        if (values.empty()) out += key + "\n";
        for (const auto& [name, value] : values)
            out += key + "\t" + name + "\t" + std::to_string(value.type) + "\t" + Hex(value.data) +
                   "\n";
    }
    // A failure leaves the previous file; the settings are then only in memory.
    FileReplace(S().registryFile.c_str(), out);
}

// ---- Files -------------------------------------------------------------------
// The headless platform keeps Windows' read-only attribute: a file or folder
// without any write permission bit is read-only, for root too.

bool IsReadOnly(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0 && (st.st_mode & 0222) == 0;
}

std::string DirectoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteFd(int fd, std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TakeInjectedFailure() {
    if (S().failWrites <= 0) return false;
    --S().failWrites;
    return true;
}

} // namespace

// ---- Control API -------------------------------------------------------------

void Reset() {
    State& state = S();
    state.~State();
    new (&state) State();
}

HostModel& Host() {
    return S().host;
}

std::map<std::string, RegistryKeyValues>& Registry() {
    return S().registry;
}

bool UseRegistryFile(const std::string& path) {
    S().registryFile = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        struct stat st;
        return ::stat(path.c_str(), &st) != 0; // missing: an empty registry
    }
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, name, type, hex;
        if (!std::getline(fields, key, '\t')) continue;
        RegistryKeyValues& values = S().registry[key];
        if (!std::getline(fields, name, '\t') || !std::getline(fields, type, '\t')) continue;
        std::getline(fields, hex);
        RegistryValue value{static_cast<unsigned>(std::strtoul(type.c_str(), nullptr, 10)), {}};
        if (Unhex(hex, &value.data)) values[name] = value;
    }
    return true;
}

std::vector<std::string>& RegistryWrites() {
    return S().registryWrites;
}

void FailRegistryCreate(long errorCode) {
    S().failRegistryCreate = errorCode;
}

std::vector<MessageBoxRecord>& MessageBoxes() {
    return S().boxes;
}
void EchoMessageBoxes(bool toStderr) {
    S().echoBoxes = toStderr;
}

void ExpectDialog(DialogScript script) {
    S().scripts.push_back(std::move(script));
}
std::vector<int>& OpenedDialogs() {
    return S().opened;
}

std::vector<ChooserRecord>& Choosers() {
    return S().choosers;
}
void AnswerChooser(std::optional<std::string> path) {
    S().chooserAnswers.push_back(std::move(path));
}

std::vector<HelpCall>& HelpCalls() {
    return S().helpCalls;
}
void SetHelpResult(int result) {
    S().helpResult = result;
}

IconHandle IconFor(int resourceId) {
    return 0x50000 + static_cast<IconHandle>(resourceId);
}

void SetClock(std::optional<std::tm> now) {
    S().clock = now;
}
void SetCurrentDirectory(std::optional<std::string> directory) {
    S().cwdOverridden = true;
    S().cwd = std::move(directory);
}
void FailFileWrites(int count) {
    S().failWrites = count;
}

// ---- DialogDriver --------------------------------------------------------

int DialogDriver::TemplateId() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->templateId : 0;
}
HostWindow DialogDriver::Window() const {
    return window_;
}
std::string DialogDriver::Caption() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->caption : std::string();
}
std::string DialogDriver::Text(int id) const {
    const Control* control = FindControl(window_, id);
    return control ? control->text : std::string();
}
bool DialogDriver::IsChecked(int id) const {
    const Control* control = FindControl(window_, id);
    return control && control->checked;
}
bool DialogDriver::Ended() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog == nullptr || dialog->ended;
}
int DialogDriver::Focus() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->focus : 0;
}
std::intptr_t DialogDriver::Result() const {
    const Dialog* dialog = FindDialog(window_);
    return dialog ? dialog->result : 0;
}

void DialogDriver::Type(int id, const std::string& text) {
    Control* control = FindControl(window_, id);
    if (control == nullptr || Ended()) return;
    control->previous = control->text;
    control->text = text;
    Send(window_, UiMsgCommand, MakeWParam(id, UiNotifyUpdate), 0);
}

void DialogDriver::SetChecked(int id, bool checked) {
    Control* control = FindControl(window_, id);
    if (control == nullptr || Ended()) return;
    control->checked = checked;
    Send(window_, UiMsgCommand, MakeWParam(id, 0), 0);
}

void DialogDriver::Press(int id) {
    if (Ended()) return;
    Send(window_, UiMsgCommand, MakeWParam(id, 0), 0);
}

void DialogDriver::Close() {
    if (Ended()) return;
    // As the system's dialog procedure does, a close the dialog leaves alone
    // becomes its Cancel button.
    if (Send(window_, UiMsgClose, 0, 0) == 0 && !Ended())
        Send(window_, UiMsgCommand, MakeWParam(UiIdCancel, 0), 0);
}

} // namespace kelpin::headless

// ---- The seam ------------------------------------------------------------------

namespace kelpin {

using namespace headless;

std::intptr_t PlatformSendMessage(HostWindow window, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    return S().host.Handle(window, message, wParam, lParam);
}

long RegistryOpenKey(const char* subkey, RegKey* key) {
    if (!S().registry.count(subkey)) return 2; // ERROR_FILE_NOT_FOUND
    *key = S().nextKey++;
    S().openKeys[*key] = subkey;
    return 0;
}

long RegistryCreateKey(const char* subkey, RegKey* key) {
    if (S().failRegistryCreate) return S().failRegistryCreate;
    S().registry[subkey];
    SaveRegistry();
    *key = S().nextKey++;
    S().openKeys[*key] = subkey;
    return 0;
}

long RegistryQueryValue(RegKey key, const char* name, unsigned* type, void* data, unsigned* size) {
    auto open = S().openKeys.find(key);
    if (open == S().openKeys.end()) return 6; // ERROR_INVALID_HANDLE
    const RegistryKeyValues& values = S().registry[open->second];
    auto it = values.find(name);
    if (it == values.end()) return 2;
    const RegistryValue& value = it->second;
    if (type) *type = value.type;
    if (value.data.size() > *size) {
        *size = static_cast<unsigned>(value.data.size());
        return 234; // ERROR_MORE_DATA
    }
    std::memcpy(data, value.data.data(), value.data.size());
    *size = static_cast<unsigned>(value.data.size());
    return 0;
}

long RegistrySetValue(RegKey key, const char* name, unsigned type, const void* data,
                      unsigned size) {
    auto open = S().openKeys.find(key);
    if (open == S().openKeys.end()) return 6;
    S().registryWrites.push_back(name);
    S().registry[open->second][name] =
        RegistryValue{type, std::string(static_cast<const char*>(data), size)};
    SaveRegistry();
    return 0;
}

void RegistryCloseKey(RegKey key) {
    S().openKeys.erase(key);
}

IconHandle UiLoadIcon(ModuleHandle, int resourceId) {
    return IconFor(resourceId);
}

std::intptr_t UiDialogBox(ModuleHandle, int templateId, HostWindow, DialogProc proc,
                          std::intptr_t param) {
    const DialogTemplate* tmpl = FindDialogTemplate(templateId);
    if (tmpl == nullptr || proc == nullptr) return -1;
    HostWindow window = S().nextDialog++;
    Dialog dialog{templateId, proc, tmpl->caption, {}, false, 0, 0};
    for (const ControlTemplate& c : tmpl->controls)
        dialog.controls.push_back({c.id, c.kind, c.text, {}, false});
    S().dialogs.emplace(window, std::move(dialog));
    S().opened.push_back(templateId);

    proc(window, UiMsgInitDialog, 0, param);
    DialogDriver driver(window);
    if (!driver.Ended() && !S().scripts.empty()) {
        DialogScript script = std::move(S().scripts.front());
        S().scripts.pop_front();
        script(driver);
    }
    if (!driver.Ended()) driver.Press(UiIdCancel);
    if (!driver.Ended()) UiEndDialog(window, 0);
    std::intptr_t result = FindDialog(window)->result;
    S().dialogs.erase(window);
    return result;
}

void UiEndDialog(HostWindow window, std::intptr_t result) {
    if (Dialog* dialog = FindDialog(window)) {
        if (dialog->ended) return;
        dialog->ended = true;
        dialog->result = result;
    }
}

void UiSetCaption(HostWindow window, const char* text) {
    if (Dialog* dialog = FindDialog(window)) dialog->caption = text ? text : "";
}

unsigned UiGetItemText(HostWindow window, int id, char* buffer, int size) {
    if (size <= 0) return 0;
    Control* control = FindControl(window, id);
    std::size_t n = control ? std::min<std::size_t>(control->text.size(), size - 1) : 0;
    if (n) std::memcpy(buffer, control->text.data(), n);
    buffer[n] = '\0';
    return static_cast<unsigned>(n);
}

unsigned UiGetItemTextLength(HostWindow window, int id) {
    Control* control = FindControl(window, id);
    return control ? static_cast<unsigned>(control->text.size()) : 0;
}

void UiSetItemText(HostWindow window, int id, const char* text) {
    if (Control* control = FindControl(window, id)) {
        control->previous = control->text;
        control->text = text ? text : "";
    }
}

void UiCheckItem(HostWindow window, int id, bool checked) {
    if (Control* control = FindControl(window, id)) control->checked = checked;
}

bool UiIsItemChecked(HostWindow window, int id) {
    Control* control = FindControl(window, id);
    return control && control->checked;
}

void UiUndoItem(HostWindow window, int id) {
    if (Control* control = FindControl(window, id)) std::swap(control->text, control->previous);
}

void UiFocusItemEnd(HostWindow window, int id) {
    if (Dialog* dialog = FindDialog(window)) dialog->focus = id;
}

int UiMessageBox(HostWindow owner, const char* text, const char* caption, unsigned flags) {
    S().boxes.push_back({owner, text ? text : "", caption ? caption : "", flags});
    if (S().echoBoxes) {
        std::string shown = text ? text : "";
        while (!shown.empty() && shown.back() == '\n')
            shown.pop_back();
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", shown.c_str());
    }
    return 1; // IDOK
}

namespace {
int Choose(bool save, const FileChooser& chooser) {
    ChooserRecord record{save,
                         chooser.owner,
                         {},
                         chooser.defaultExtension ? chooser.defaultExtension : "",
                         chooser.flags,
                         chooser.fileCapacity,
                         chooser.file ? chooser.file : ""};
    for (const char* p = chooser.filter; p && *p; p += std::strlen(p) + 1)
        record.filter.push_back(p);
    S().choosers.push_back(record);
    std::optional<std::string> answer;
    if (!S().chooserAnswers.empty()) {
        answer = std::move(S().chooserAnswers.front());
        S().chooserAnswers.pop_front();
    }
    if (!answer || chooser.file == nullptr || answer->size() >= chooser.fileCapacity) return 0;
    std::memcpy(chooser.file, answer->c_str(), answer->size() + 1);
    return 1;
}
} // namespace

int UiChooseOpenFile(const FileChooser& chooser) {
    return Choose(false, chooser);
}
int UiChooseSaveFile(const FileChooser& chooser) {
    return Choose(true, chooser);
}

int UiWinHelp(HostWindow window, const char* helpFile, unsigned command, std::uintptr_t data) {
    const char* keyword = reinterpret_cast<const char*>(data);
    S().helpCalls.push_back({window, helpFile ? helpFile : "", command, keyword ? keyword : ""});
    return S().helpResult;
}

bool FileReadAll(const char* path, std::string* contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    struct stat st;
    if (::stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return false;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) return false;
    *contents = std::move(out).str();
    return true;
}

bool FileIsWritable(const char* path) {
    if (IsReadOnly(path)) return false;
    int fd = ::open(path, O_RDWR);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool FileWriteAll(const char* path, std::string_view contents) {
    if (IsReadOnly(path) || IsReadOnly(DirectoryOf(path).c_str())) return false;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    bool ok = !TakeInjectedFailure() && WriteFd(fd, contents);
    return ::close(fd) == 0 && ok;
}

bool FileReplace(const char* path, std::string_view contents) {
    struct stat old;
    bool exists = ::stat(path, &old) == 0;
    if (exists && !FileIsWritable(path)) return false;
    std::string directory = DirectoryOf(path);
    if (IsReadOnly(directory.c_str())) return false;
    if (TakeInjectedFailure()) return false;
    std::string temp = std::string(path) + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    mode_t mode = 0666;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteFd(fd, contents) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool ClockLocalNow(std::tm* now) {
    if (S().clock) {
        *now = *S().clock;
        return true;
    }
    std::time_t t = std::time(nullptr);
    return ::localtime_r(&t, now) != nullptr;
}

bool ProcessCurrentDirectory(std::string* directory) {
    if (S().cwdOverridden) {
        if (!S().cwd) return false;
        *directory = *S().cwd;
        return true;
    }
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return false;
    *directory = buffer;
    return true;
}

} // namespace kelpin
