// The harness's own checks: the scripted user reaches a real dialog of the
// add-in, its input arrives as a user's would, message boxes and choosers
// are answered, and a window nobody answers fails the scenario instead of
// hanging it.
#include <windows.h>
// commdlg.h builds on windows.h.
#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/harness.h"
#include "tests/wine/internal.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

// A probe procedure on the add-in's setup template: it logs what a dialog
// procedure hears and opens a chooser and a message box as the add-in does.
struct ProbeLog {
    std::vector<std::string> notes; // "EN_UPDATE <text>", "BN_CLICKED 4018", ...
    bool save = false;              // Find opens the save chooser
    bool nested = false;            // Find opens a second dialog instead
    char file[260] = "";
};
ProbeLog probe;

std::string ItemText(HWND dialog, int id) {
    char text[512];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// The inner dialog of a nested pair: OK ends it with 7.
INT_PTR CALLBACK InnerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) EndDialog(dialog, 7);
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, -1);
    return TRUE;
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetDlgItemTextA(dialog, IDC_HELP_PATH, "C:\\old.hlp");
        probe.notes.clear();
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    int id = LOWORD(wParam), code = HIWORD(wParam);
    if (id == IDC_HELP_PATH && code == EN_UPDATE)
        probe.notes.push_back("EN_UPDATE " + ItemText(dialog, id));
    else if (id == IDC_HELP_PATH && code == EN_CHANGE)
        probe.notes.push_back("EN_CHANGE " + ItemText(dialog, id));
    else if (id == IDC_ENABLE_VERSION && code == BN_CLICKED)
        probe.notes.push_back("BN_CLICKED " + std::to_string(id));
    else if (id == IDC_FIND_HELP && probe.nested) {
        HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
        INT_PTR inner =
            TrackedDialogBox(module, MAKEINTRESOURCEA(IDD_VERSION), dialog, InnerProc, 0);
        SetDlgItemTextA(dialog, IDC_HELP_PATH, std::to_string(inner).c_str());
    } else if (id == IDC_FIND_HELP) {
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = dialog;
        ofn.lpstrFilter = "Help file (.hlp)\0*.hlp\0File (*.*)\0*.*\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = probe.file;
        ofn.nMaxFile = 259;
        ofn.lpstrDefExt = "hlp";
        ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
        if (probe.save ? TrackedSaveFileName(&ofn) : TrackedOpenFileName(&ofn))
            SetDlgItemTextA(dialog, IDC_HELP_PATH, probe.file);
    } else if (id == IDOK) {
        int answer = TrackedMessageBox(dialog, "Stored.\n", "Probe", MB_ICONINFORMATION);
        EndDialog(dialog, 100 + answer);
    } else if (id == IDCANCEL)
        EndDialog(dialog, -1);
    return TRUE;
}

std::intptr_t RunProbe() {
    return TrackedDialogBox(AddIn().module, MAKEINTRESOURCEA(IDD_SETUP),
                            reinterpret_cast<HWND>(Main()), ProbeProc, 0);
}

std::vector<std::string> TakeNotes() {
    std::vector<std::string> notes;
    OnHostThread([&] { notes.swap(probe.notes); });
    return notes;
}

} // namespace

// Typing replaces the whole text as a user who selects all and types, the
// procedure hears EN_UPDATE and EN_CHANGE with the new text, and the change
// can be undone. A check box click is a BN_CLICKED. OK's message box is
// recorded and answered, and its answer reaches the dialog's result.
KELPIN_SCENARIO(input_reaches_dialog) {
    LoadAddIn();
    std::intptr_t result = WithUser(RunProbe, [](User& user) {
        Dialog dialog = user.ExpectDialog(IDD_SETUP);
        CHECK_EQ(dialog.Caption(), std::string("Vantrel Setup"));
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\old.hlp"));
        CHECK_EQ(dialog.Text(IDC_ENABLE_VERSION), std::string("Enable Version tool"));
        CHECK(TakeNotes().empty());

        dialog.Type(IDC_HELP_PATH, "D:\\new.hlp");
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("D:\\new.hlp"));
        CHECK_EQ(TakeNotes(),
                 (std::vector<std::string>{"EN_UPDATE D:\\new.hlp", "EN_CHANGE D:\\new.hlp"}));
        OnHostThread([&] { SendDlgItemMessageA(dialog.Handle(), IDC_HELP_PATH, WM_UNDO, 0, 0); });
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\old.hlp"));
        TakeNotes();

        CHECK(!dialog.IsChecked(IDC_ENABLE_VERSION));
        dialog.SetChecked(IDC_ENABLE_VERSION, true);
        CHECK(dialog.IsChecked(IDC_ENABLE_VERSION));
        dialog.SetChecked(IDC_ENABLE_VERSION, true); // already so: no click
        CHECK_EQ(TakeNotes(), std::vector<std::string>{"BN_CLICKED 4018"});

        dialog.Press(IDOK);
        MessageBoxSeen box = user.ExpectMessageBox();
        CHECK_EQ(box.text, std::string("Stored.\n"));
        CHECK_EQ(box.caption, std::string("Probe"));
        CHECK_EQ(box.flags, static_cast<unsigned>(MB_ICONINFORMATION));
        CHECK(!dialog.Ended()); // the box is modal over it
        box.Press(IDOK);
        CHECK_EQ(dialog.Result(), 100 + IDOK);
        user.ExpectNothingMore();
    });
    CHECK_EQ(result, 100 + IDOK);
    REQUIRE(MessageBoxes().size() == 1);
    CHECK_EQ(MessageBoxes()[0].result, IDOK);
    REQUIRE(Dialogs().size() == 1);
    CHECK_EQ(Dialogs()[0].templateId, IDD_SETUP);
    CHECK_EQ(Dialogs()[0].owner, Main());
    CHECK_EQ(Dialogs()[0].result, 100 + IDOK);
}

// The open chooser is recorded with its record and answered with a file.
KELPIN_SCENARIO(open_chooser) {
    LoadAddIn();
    std::intptr_t result = WithUser(RunProbe, [](User& user) {
        Dialog dialog = user.ExpectDialog(IDD_SETUP);
        dialog.Press(IDC_FIND_HELP);
        Chooser chooser = user.ExpectChooser();
        CHECK(!chooser.record.save);
        CHECK_EQ(chooser.record.filter,
                 (std::vector<std::string>{"Help file (.hlp)", "*.hlp", "File (*.*)", "*.*"}));
        CHECK_EQ(chooser.record.defaultExtension, std::string("hlp"));
        CHECK_EQ(chooser.record.flags, 0x80806u);
        CHECK_EQ(chooser.record.fileCapacity, 259u);
        CHECK_EQ(chooser.record.initialFile, std::string(""));
        chooser.Choose("C:\\windows\\win.ini");
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\windows\\win.ini"));
        // A cancelled chooser leaves the text as it is.
        dialog.Press(IDC_FIND_HELP);
        user.ExpectChooser().Cancel();
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\windows\\win.ini"));
        dialog.Press(IDCANCEL);
    });
    CHECK_EQ(result, -1);
    REQUIRE(Choosers().size() == 2);
    CHECK(Choosers()[0].chosen);
    CHECK_EQ(Choosers()[0].chosenFile, std::string("C:\\windows\\win.ini"));
    CHECK(!Choosers()[1].chosen);
}

// Saving over an existing file asks first: the system's own box is a window
// of its own for the script to answer.
KELPIN_SCENARIO(save_chooser_confirms) {
    LoadAddIn();
    probe.save = true;
    static std::string existing = ScratchDirectory() + "old.hlp";
    WriteTextFile(existing, "old\n");
    REQUIRE(ReadTextFile(existing) == std::optional<std::string>("old\n"));
    WithUser(RunProbe, [](User& user) {
        Dialog dialog = user.ExpectDialog(IDD_SETUP);
        dialog.Press(IDC_FIND_HELP);
        Chooser chooser = user.ExpectChooser();
        CHECK(chooser.record.save);
        chooser.Choose(existing);
        Window confirm = user.ExpectOtherWindow();
        confirm.Press(IDYES);
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), existing);
        dialog.Press(IDCANCEL);
    });
    REQUIRE(Choosers().size() == 1);
    CHECK(Choosers()[0].chosen);
    CHECK(!ReadTextFile(ScratchDirectory() + "missing.hlp"));
}

// A dialog opened from a dialog is told apart from its owner, whose own
// messages go on while the second one opens over it.
KELPIN_SCENARIO(nested_dialogs) {
    LoadAddIn();
    probe.nested = true;
    std::intptr_t result = WithUser(RunProbe, [](User& user) {
        Dialog outer = user.ExpectDialog(IDD_SETUP);
        outer.Press(IDC_FIND_HELP);
        Dialog inner = user.ExpectDialog(IDD_VERSION);
        CHECK(inner.Handle() != outer.Handle());
        CHECK(inner.Exists(IDC_VERSION_BUILD));
        CHECK(!outer.Ended());
        inner.Press(IDOK);
        CHECK_EQ(inner.Result(), 7);
        CHECK_EQ(outer.Text(IDC_HELP_PATH), std::string("7"));
        outer.Press(IDCANCEL);
        CHECK_EQ(outer.Result(), -1);
    });
    CHECK_EQ(result, -1);
    REQUIRE(Dialogs().size() == 2);
    CHECK_EQ(Dialogs()[1].templateId, IDD_VERSION);
    CHECK_EQ(Dialogs()[1].result, 7);
}

// Nobody answers: the box is closed, the scenario learns why, nothing hangs.
KELPIN_SCENARIO(unanswered_window_fails) {
    LoadAddIn();
    DWORD start = GetTickCount();
    int answer = TrackedMessageBox(reinterpret_cast<HWND>(Main()), "Anyone?", "Probe", MB_OK);
    CHECK(GetTickCount() - start < 5000);
    CHECK_EQ(answer, IDCANCEL);
    std::vector<std::string> failures = TakeFailures();
    CHECK_EQ(failures.size(), 1u);
    if (!failures.empty())
        CHECK(failures[0].find("unexpected message box \"Anyone?\"") != std::string::npos);
    // A script that expects a dialog the action never opens fails in time.
    WithUser([] { return 0; },
             [](User& user) {
                 user.Patience(500);
                 user.ExpectDialog(IDD_SETUP);
             });
    failures = TakeFailures();
    CHECK_EQ(failures.size(), 1u);
    CHECK_EQ(failures.size(), 1u);
    if (!failures.empty())
        CHECK(failures[0].find("expected dialog 1005, but no window opened") != std::string::npos);
}

// The add-in's own setup dialog opens over the main window from the DLL's
// template, with its caption and controls.
KELPIN_SCENARIO(setup_dialog_opens) {
    StartAddIn();
    WithUser([] { return AddIn().Setup(0, 0); },
             [](User& user) {
                 Dialog setup = user.ExpectDialog(IDD_SETUP);
                 CHECK_EQ(setup.Caption(), std::string("Vantrel Setup"));
                 CHECK_EQ(setup.Text(IDC_ENABLE_VERSION), std::string("Enable Version tool"));
                 CHECK_EQ(setup.Text(IDOK), std::string("OK"));
                 CHECK_EQ(setup.Text(IDCANCEL), std::string("Cancel"));
                 CHECK_EQ(setup.Text(IDC_FIND_HELP), std::string("Find ...."));
                 CHECK(setup.Exists(IDC_HELP_PATH));
                 setup.Press(IDCANCEL);
                 Sleep(200);
                 // Until its procedure answers Cancel, the harness ends it.
                 if (!setup.Ended()) setup.EndNow(IDCANCEL);
             });
    REQUIRE(Dialogs().size() == 1);
    CHECK_EQ(Dialogs()[0].templateId, IDD_SETUP);
    CHECK_EQ(Dialogs()[0].owner, Main());
}
