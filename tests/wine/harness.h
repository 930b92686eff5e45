// The stand-in Host IDE that drives the real kelpin.dll under Wine.
//
// kelpin_wine_host.exe runs one scenario per process:
//     kelpin_wine_host.exe <scenario>     run it; exit status 0 when it passed
//     kelpin_wine_host.exe --list         print every scenario's name
//     kelpin_wine_host.exe --gallery <folder> <stock.c>
//                                         capture every dialog (gallery.cpp)
//
// Running them: `ctest --preset win32` (all), or one with
//     ctest --preset win32 -R wine.frame.load_flag_1 --output-on-failure
// The first run makes a Wine prefix in build/win32/wineprefix; wine.start
// opens a virtual display and a wineserver that the run's scenarios share
// and wine.end closes them (tests/wine/run-scenario.sh). Each scenario is a
// process of its own and prints every failed check, then PASSED or FAILED.
//
// Writing scenarios
// -----------------
// Put them in tests/wine/scenarios/<area>.cpp (one file per area, e.g. the
// setup dialog, the comment dialogs); tests/wine/scenarios.cmake compiles
// every file there into the host and makes one ctest per scenario, named
// wine.<area>.<scenario>, by reading the lines that start with
// KELPIN_SCENARIO( (the next build re-runs configure by itself; the test
// wine.scenario_list fails if a scenario escaped the list). Nothing else
// needs editing.
//
//     #include "tests/wine/harness.h"
//     using namespace kelpin::wine;
//
//     KELPIN_SCENARIO(versioning_on) {
//         WriteSetting("flag", 1);            // before the DLL is loaded
//         LoadAddIn();                        // LoadLibraryA beside the exe
//         CHECK_EQ(AddIn().Main(Main(), HostEventLoad), 1);
//         CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 11, 3}));
//     }
//
// Every scenario starts with an empty settings key (the add-in's key and
// its parents are deleted), a main window and no editor. The body runs on
// the host's user-interface thread, which is where the Host IDE calls the
// entry points. The host windows are real: each answers the host messages
// through the same editor model the native tests use (HostModel), keyed by
// the real window handle. An editor is opened with OpenEditor(text, path)
// and worked through EditorState(editor): its text, selection (the caret),
// kind, and the refusals the model can play.
//
// Checks: CHECK(condition) and CHECK_EQ(actual, expected) record a failure
// with file, line and both values and let the scenario go on; REQUIRE(...)
// stops the scenario at once (in the body or a script, never inside the
// action given to WithUser, which runs under the system's dialog code). A
// scenario passes when nothing failed. A crash or a scenario that runs past
// its time limit fails with what was recorded until then.
//
// Dialogs, message boxes and file choosers
// ----------------------------------------
// The add-in's dialogs are modal on the host's thread, so a scripted user
// works them from a second thread while the entry point runs:
//
//     std::intptr_t result = WithUser(
//         [] { return AddIn().Setup(0, 0); },      // on the host's thread
//         [](User& user) {                          // on the user's thread
//             Dialog setup = user.ExpectDialog(IDD_SETUP);
//             CHECK_EQ(setup.Caption(), "Vantrel Setup");
//             setup.SetChecked(IDC_ENABLE_VERSION, true);
//             setup.Press(IDC_FIND_HELP);
//             user.ExpectChooser().Choose("C:\\help\\win32.hlp");
//             CHECK_EQ(setup.Text(IDC_HELP_PATH), "C:\\help\\win32.hlp");
//             setup.Press(IDOK);
//             MessageBoxSeen box = user.ExpectMessageBox();
//             CHECK_EQ(box.text, "...");
//             box.Press(IDOK);
//         });
//
// Each Expect... waits (a few seconds at most) for the next window the
// add-in opens and fails the scenario when it is of another kind or never
// comes. A window that a dialog opens during its WM_INITDIALOG (a message
// box that explains why the dialog ends at once) comes before that dialog,
// which is expected after it. The harness sees the add-in's own calls (DialogBoxParamA with the
// template id, MessageBoxA with its text, caption and style, the file
// choosers with their record, WinHelpA) by patching the DLL's import table;
// the real functions still run, so the windows are real and are worked
// through their controls. A window the script leaves open, or one opened
// with no script at all, fails the scenario and is closed, so nothing hangs;
// a watchdog ends a scenario that runs too long.
//
// The Windows seam (src/platforms/win) is linked into the host as well, and
// its calls are watched the same way: scenarios/seam.cpp tries it directly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <vector>

#include "doubles/model/host_model.h"
#include "host/host.h"
#include "resources/resource.h"

namespace kelpin::wine {

using Ids = std::vector<int>;

// ---- Scenarios --------------------------------------------------------------
using ScenarioBody = void (*)();
bool RegisterScenario(const char* name, ScenarioBody body);

#define KELPIN_SCENARIO(name)                                                                      \
    static void KelpinScenario_##name();                                                           \
    static const bool kelpinScenarioRegistered_##name =                                            \
        ::kelpin::wine::RegisterScenario(#name, KelpinScenario_##name);                            \
    static void KelpinScenario_##name()

// ---- Checks -----------------------------------------------------------------
void Fail(const char* file, int line, const std::string& message);
[[noreturn]] void Abort(const char* file, int line, const std::string& message);

inline std::string Show(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out + "\"";
}
inline std::string Show(const char* s) {
    return s ? Show(std::string(s)) : "(null)";
}
template <typename T> std::string Show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
template <typename T> std::string Show(const std::vector<T>& values) {
    std::string out = "{";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + Show(values[i]);
    return out + "}";
}
template <typename T> std::string Show(const std::optional<T>& value) {
    return value ? Show(*value) : "(none)";
}

template <typename A, typename B> bool Same(const A& a, const B& b) {
    if constexpr (std::is_integral_v<A> && std::is_integral_v<B>)
        return static_cast<long long>(a) == static_cast<long long>(b);
    else
        return a == b;
}

#define CHECK(cond)                                                                                \
    ((cond) ? true : (::kelpin::wine::Fail(__FILE__, __LINE__, "CHECK(" #cond ")"), false))
#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        const auto& kelpinActual_ = (actual);                                                      \
        const auto& kelpinExpected_ = (expected);                                                  \
        if (!::kelpin::wine::Same(kelpinActual_, kelpinExpected_))                                 \
            ::kelpin::wine::Fail(__FILE__, __LINE__,                                               \
                                 "CHECK_EQ(" #actual ", " #expected ")\n    actual:   " +          \
                                     ::kelpin::wine::Show(kelpinActual_) +                         \
                                     "\n    expected: " + ::kelpin::wine::Show(kelpinExpected_));  \
    } while (0)
#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!(cond)) ::kelpin::wine::Abort(__FILE__, __LINE__, "REQUIRE(" #cond ")");              \
    } while (0)

// ---- The host's windows -----------------------------------------------------
// The model behind the real windows; handles are the HWND values.
headless::HostModel& Model();
HostWindow Main();                 // the main window, created for every scenario
headless::MainWindow& MainState(); // its registered commands, requests, output
// A source editor window holding text; it becomes the active editor.
HostWindow OpenEditor(const std::string& text, const std::string& path);
headless::EditorWindow& EditorState(HostWindow editor);
void SetActiveEditor(HostWindow editor); // 0: no editor active
HostWindow OpenProject();
headless::ProjectWindow& ProjectState(HostWindow project);
// The ids registered now, in registration order.
Ids RegisteredIds();
// The output lines with text, in order.
std::vector<std::string> OutputLines();

// ---- The add-in ---------------------------------------------------------------
struct AddInEntries {
    HMODULE module = nullptr;
    int(WINAPI* mainEntry)(HWND, int) = nullptr;
    int(WINAPI* commandEntry)(int) = nullptr;
    int(WINAPI* setupEntry)(int, int) = nullptr;
    int(WINAPI* helpEntry)(HWND, int, const char*) = nullptr;

    int Main(HostWindow window, int event) const {
        return mainEntry(reinterpret_cast<HWND>(window), event);
    }
    int Command(int id) const { return commandEntry(id); }
    int Setup(int a, int b) const { return setupEntry(a, b); }
    int Help(HostWindow window, int kind, const char* keyword) const {
        return helpEntry(reinterpret_cast<HWND>(window), kind, keyword);
    }
};
// The names the host resolves: stdcall-decorated on i686; x86_64 has one
// calling convention and no decoration.
struct AddInEntryNames {
    const char* main;
    const char* command;
    const char* setup;
    const char* help;
};
#if defined(_M_IX86) || defined(__i386__)
inline constexpr AddInEntryNames EntryNames{"_AddInMain@8", "_AddInCommand@4", "_AddInSetup@8",
                                            "_AddInHelp@12"};
#else
inline constexpr AddInEntryNames EntryNames{"AddInMain", "AddInCommand", "AddInSetup", "AddInHelp"};
#endif
// Loads kelpin.dll from beside the exe with LoadLibraryA and resolves the four
// entry points by the names of this architecture; stops the scenario when any is
// missing. A second call returns the loaded one.
const AddInEntries& LoadAddIn();
const AddInEntries& AddIn();
// Loads the add-in and sends HostEventLoad with the main window: the common
// start of a scenario that is about something else. Requires it to succeed.
void StartAddIn();
// The directory of the exe, with a trailing "\".
std::string HostDirectory();

// ---- Files ------------------------------------------------------------------
// A fresh, empty directory for this scenario's files ("C:\\...\\", with a
// trailing "\\"), made on first use.
std::string ScratchDirectory();
// Whole files as bytes; nullopt when the file cannot be read.
std::optional<std::string> ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& bytes);

// ---- Settings in the registry -----------------------------------------------
inline constexpr const char* SettingsKeyPath = "Software\\Dravenor\\Quarnel\\Vantrel";
struct RegistryValue {
    DWORD type;
    std::string data; // the stored bytes
};
bool SettingsKeyExists();
void CreateSettingsKey();
void WriteSetting(const char* name, DWORD value);             // REG_DWORD
void WriteSetting(const char* name, const std::string& text); // REG_SZ, terminator included
std::optional<RegistryValue> ReadSetting(const char* name);

// ---- What the add-in asked of the system --------------------------------
struct MessageBoxRecord {
    HostWindow owner;
    std::string text;
    std::string caption;
    unsigned flags; // MB_ICONWARNING etc.
    int result;     // the button that closed it
};
struct ChooserRecord {
    bool save;
    HostWindow owner;
    std::vector<std::string> filter; // text, pattern, text, pattern ...
    unsigned filterIndex;
    std::string defaultExtension;
    unsigned flags;
    unsigned fileCapacity;
    std::string initialFile;
    bool chosen;            // the chooser's result
    std::string chosenFile; // the buffer after it returned
};
struct DialogRecord {
    int templateId;
    HostWindow owner;
    std::intptr_t result;
    bool shown; // its window was shown; not so for one that ended in WM_INITDIALOG
};
struct HelpRecord {
    HostWindow window;
    std::string helpFile;
    unsigned command;
    std::string keyword;
};
const std::vector<MessageBoxRecord>& MessageBoxes();
const std::vector<ChooserRecord>& Choosers();
const std::vector<DialogRecord>& Dialogs(); // every dialog, ended ones with their result
const std::vector<HelpRecord>& HelpCalls();
// WinHelpA is answered by the harness (no help viewer runs) with this result.
void SetHelpResult(int result);

// ---- The scripted user --------------------------------------------------------
// What the scripted user does stops the scenario when it cannot be done (no
// such control, no window in time); the failure names the script's line.
using Where = std::source_location;
// A window the add-in opened, as the user sees and works it. Every call runs
// on the host's thread, in order, as a user's input would arrive.
class Window {
  public:
    explicit Window(HWND hwnd = nullptr) : hwnd_(hwnd) {}
    HWND Handle() const { return hwnd_; }
    std::string Caption(Where where = Where::current()) const;
    std::string Text(int id, Where where = Where::current()) const;
    bool IsChecked(int id, Where where = Where::current()) const;
    bool IsEnabled(int id, Where where = Where::current()) const;
    bool Exists(int id, Where where = Where::current()) const;
    // Types a new text over the edit control's whole text, as a user who
    // selects all and types would: the dialog hears EN_UPDATE and EN_CHANGE,
    // and the change can be undone.
    void Type(int id, const std::string& text, Where where = Where::current()) const;
    // Clicks the check box when it is not in the wanted state.
    void SetChecked(int id, bool checked, Where where = Where::current()) const;
    // Clicks a button (BM_CLICK).
    void Press(int id, Where where = Where::current()) const;
    // The close box: WM_CLOSE.
    void Close(Where where = Where::current()) const;
    // True once the window is gone.
    bool Ended() const;

  protected:
    HWND hwnd_;
};

class Dialog : public Window {
  public:
    Dialog(HWND hwnd, int templateId) : Window(hwnd), templateId_(templateId) {}
    int TemplateId() const { return templateId_; }
    // Waits for the dialog to end and gives its result; fails after a timeout.
    std::intptr_t Result(Where where = Where::current()) const;
    // The harness's own EndDialog, for a dialog whose procedure cannot end
    // itself yet. A finished dialog never needs it.
    void EndNow(std::intptr_t result, Where where = Where::current()) const;

  private:
    int templateId_;
};

class MessageBoxSeen : public Window {
  public:
    MessageBoxSeen(HWND hwnd, MessageBoxRecord record)
        : Window(hwnd), text(std::move(record.text)), caption(std::move(record.caption)),
          flags(record.flags) {}
    std::string text;
    std::string caption;
    unsigned flags;
};

class Chooser : public Window {
  public:
    Chooser(HWND hwnd, ChooserRecord record) : Window(hwnd), record(std::move(record)) {}
    ChooserRecord record;
    // Types the file name into the chooser and presses its OK button.
    void Choose(const std::string& path, Where where = Where::current()) const;
    void Cancel(Where where = Where::current()) const;
};

class User {
  public:
    // The next window the add-in opens must be dialog templateId.
    Dialog ExpectDialog(int templateId, Where where = Where::current());
    MessageBoxSeen ExpectMessageBox(Where where = Where::current());
    Chooser ExpectChooser(Where where = Where::current()); // open or save: see record.save
    // A system window opened by no call of the add-in (the chooser's
    // confirmation box, say).
    Window ExpectOtherWindow(Where where = Where::current());
    // Fails when another window opens within the time given.
    void ExpectNothingMore(DWORD milliseconds = 300, Where where = Where::current());
    // How long each Expect... waits for its window: 5 s unless told, which
    // a scenario that expects a window not to come may shorten.
    void Patience(DWORD milliseconds);
};
using UserScript = std::function<void(User&)>;

// Runs action on the host's thread while script works the windows it opens;
// returns the action's result once both are done.
std::intptr_t WithUser(const std::function<std::intptr_t()>& action, const UserScript& script);

// Runs fn on the host's thread (from the user's thread) and waits for it.
void OnHostThread(const std::function<void()>& fn, Where where = Where::current());

} // namespace kelpin::wine
