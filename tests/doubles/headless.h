// The tests' platform: doubles of the Host IDE and the user for the add-in's
// code to run against on Linux. The in-process Host IDE the seam talks to,
// the registry, the scripted user who answers dialogs, message boxes and file
// choosers; the files, locks, clock and current directory are the POSIX
// platform's, with a clock and a current directory to set and injected file
// failures.
//
// Tests, fuzz targets and benchmarks link it; nothing shipped does. Tests set
// it up and inspect it; Reset() puts everything back to a fresh, empty state.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "doubles/model/host_model.h"
#include "seam/platform.h"

namespace kelpin::headless {

void Reset();

// ---- The Host IDE -----------------------------------------------------------
HostModel& Host();

// ---- Registry -----------------------------------------------------------------
struct RegistryValue {
    unsigned type;
    std::string data; // exactly the bytes stored
};
using RegistryKeyValues = std::map<std::string, RegistryValue>;
// Key path ("Software\...") -> its values.
std::map<std::string, RegistryKeyValues>& Registry();
// The names of the values written, in order.
std::vector<std::string>& RegistryWrites();
// Makes RegistryCreateKey fail with this error code (0: succeed again).
void FailRegistryCreate(long errorCode);

// ---- Message boxes --------------------------------------------------------
struct MessageBoxRecord {
    HostWindow owner;
    std::string text;
    std::string caption;
    unsigned flags;
};
std::vector<MessageBoxRecord>& MessageBoxes();

// ---- Dialogs and the scripted user ------------------------------------------
// An open headless dialog, as the scripted user sees and works it.
class DialogDriver {
  public:
    int TemplateId() const;
    HostWindow Window() const;
    std::string Caption() const;
    std::string Text(int id) const;
    bool IsChecked(int id) const;
    bool Ended() const;
    std::intptr_t Result() const;
    // The control that has the keyboard focus, with the caret at the end of
    // its text (UiFocusItemEnd); 0 when none was given it.
    int Focus() const;

    // Types a new text into an edit control, as a user would: the text
    // changes and the dialog is told (EN_UPDATE), so it may undo the change.
    void Type(int id, const std::string& text);
    // Clicks a check box (toggles it) or sets it.
    void SetChecked(int id, bool checked);
    // Presses a button: WM_COMMAND with its id.
    void Press(int id);
    // The close box: WM_CLOSE, which becomes Cancel when the dialog leaves it
    // to the system.
    void Close();
    // Any other message, as the system would send it: the dialog procedure's
    // answer (TRUE when it handled it).
    std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    explicit DialogDriver(HostWindow window) : window_(window) {}

  private:
    HostWindow window_;
};
using DialogScript = std::function<void(DialogDriver&)>;
// The next dialog opened runs this script once its initialisation is done
// (unless the initialisation ended it). A script that leaves the dialog open
// presses Cancel; with no script queued, the dialog is cancelled at once.
void ExpectDialog(DialogScript script);
// Every dialog opened so far, by template id, in order.
std::vector<int>& OpenedDialogs();

// ---- File choosers ------------------------------------------------------
struct ChooserRecord {
    bool save; // the save chooser, else the open chooser
    HostWindow owner;
    std::vector<std::string> filter; // text, pattern, text, pattern ...
    std::string defaultExtension;
    unsigned flags;
    unsigned fileCapacity;
    std::string initialFile;
};
std::vector<ChooserRecord>& Choosers();
// The next chooser answers with this path (nullopt: the user cancels). With
// nothing queued, choosers are cancelled.
void AnswerChooser(std::optional<std::string> path);

// ---- WinHelp --------------------------------------------------------------
struct HelpCall {
    HostWindow window;
    std::string helpFile;
    unsigned command;
    std::string keyword;
};
std::vector<HelpCall>& HelpCalls();
void SetHelpResult(int result);

// ---- Icons ----------------------------------------------------------------
// The handle UiLoadIcon gives for a resource id: never 0.
IconHandle IconFor(int resourceId);

// ---- Clock, current directory, files ----------------------------------------
// A fixed local time; nullopt returns to the real clock.
void SetClock(std::optional<std::tm> now);
// nullopt: the current directory cannot be read.
void SetCurrentDirectory(std::optional<std::string> directory);
// The next `count` writes (FileWriteAll, FileReplace) fail as a full disk
// would: nothing is replaced.
void FailFileWrites(int count);

} // namespace kelpin::headless
