// The setup dialog and keyword help in the real DLL: what the dialog shows,
// what OK, Cancel and "Find ...." store, and when help is asked for.
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

std::optional<DWORD> StoredFlag() {
    std::optional<RegistryValue> value = ReadSetting("flag");
    if (!value || value->data.size() != 4) return std::nullopt;
    DWORD flag;
    std::memcpy(&flag, value->data.data(), sizeof flag);
    return flag;
}

std::intptr_t RunSetup(const UserScript& script) {
    return WithUser([] { return AddIn().Setup(0, 0); }, script);
}

} // namespace

// The box shows the stored versioning bit; OK with it unchecked removes
// command 11 and stores the flag with that bit clear, other bits kept.
KELPIN_SCENARIO(setup_ok_unchecked) {
    WriteSetting("flag", 1 | 4);
    WriteSetting("W32hlpPath", std::string("C:\\old.hlp"));
    StartAddIn();
    CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 11, 3}));
    std::intptr_t result = RunSetup([](User& user) {
        Dialog setup = user.ExpectDialog(IDD_SETUP);
        CHECK_EQ(setup.Caption(), std::string("Vantrel Setup"));
        CHECK(setup.IsChecked(IDC_ENABLE_VERSION));
        CHECK_EQ(setup.Text(IDC_HELP_PATH), std::string("C:\\old.hlp"));
        setup.SetChecked(IDC_ENABLE_VERSION, false);
        setup.Press(IDOK);
        CHECK_EQ(setup.Result(), -1);
    });
    CHECK_EQ(result, -1);
    CHECK_EQ(StoredFlag(), std::optional<DWORD>(4));
    CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 3}));
    CHECK_EQ(MainState().removeRequests.back(), 11);
}

// A typed help path is stored at OK, as 259 bytes with zeros after the text;
// checking the box registers command 11.
KELPIN_SCENARIO(setup_ok_stores_typed_path) {
    StartAddIn();
    RunSetup([](User& user) {
        Dialog setup = user.ExpectDialog(IDD_SETUP);
        CHECK(!setup.IsChecked(IDC_ENABLE_VERSION));
        setup.SetChecked(IDC_ENABLE_VERSION, true);
        setup.Type(IDC_HELP_PATH, "C:\\sdk\\win32.hlp");
        setup.Press(IDOK);
    });
    CHECK_EQ(StoredFlag(), std::optional<DWORD>(1));
    std::optional<RegistryValue> path = ReadSetting("W32hlpPath");
    REQUIRE(path.has_value());
    CHECK_EQ(path->type, static_cast<DWORD>(REG_SZ));
    CHECK_EQ(path->data.size(), 259u);
    CHECK_EQ(path->data.substr(0, 17), std::string("C:\\sdk\\win32.hlp\0", 17));
    CHECK(path->data.find_first_not_of('\0', 17) == std::string::npos);
    CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 3, 11}));
}

// "Find ...." opens the open-file chooser; the chosen file lands in the box
// but nothing is stored when the user then cancels.
KELPIN_SCENARIO(setup_find_then_cancel) {
    WriteSetting("flag", 0);
    WriteSetting("W32hlpPath", std::string("C:\\old.hlp"));
    StartAddIn();
    std::string chosen = HostDirectory() + "kelpin_wine_host.exe";
    RunSetup([&](User& user) {
        Dialog setup = user.ExpectDialog(IDD_SETUP);
        setup.Press(IDC_FIND_HELP);
        Chooser chooser = user.ExpectChooser();
        CHECK(!chooser.record.save);
        CHECK_EQ(chooser.record.filter,
                 (std::vector<std::string>{"Help file (.hlp)", "*.hlp", "File (*.*)", "*.*"}));
        CHECK_EQ(chooser.record.defaultExtension, std::string("hlp"));
        CHECK_EQ(chooser.record.flags, 0x80806u);
        CHECK_EQ(chooser.record.fileCapacity, 259u);
        CHECK_EQ(chooser.record.initialFile, std::string());
        chooser.Choose(chosen);
        CHECK_EQ(setup.Text(IDC_HELP_PATH), chosen);
        setup.SetChecked(IDC_ENABLE_VERSION, true);
        setup.Press(IDCANCEL);
        CHECK_EQ(setup.Result(), -1);
    });
    CHECK_EQ(StoredFlag(), std::optional<DWORD>(0));
    CHECK_EQ(ReadSetting("W32hlpPath")->data, std::string("C:\\old.hlp\0", 11));
    CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 3}));
}

// Keyword help: nothing for another kind or without a help file; otherwise
// one WinHelp call at the keyword.
KELPIN_SCENARIO(help_by_kind) {
    StartAddIn();
    CHECK_EQ(AddIn().Help(Main(), 2, "printf"), 0); // no help file yet
    RunSetup([](User& user) {
        Dialog setup = user.ExpectDialog(IDD_SETUP);
        setup.Type(IDC_HELP_PATH, "C:\\sdk\\win32.hlp");
        setup.Press(IDOK);
    });
    CHECK_EQ(AddIn().Help(Main(), 1, "printf"), 0);
    CHECK(HelpCalls().empty());
    SetHelpResult(1);
    CHECK_EQ(AddIn().Help(Main(), 2, "printf"), 1);
    REQUIRE(HelpCalls().size() == 1);
    CHECK_EQ(HelpCalls()[0].helpFile, std::string("C:\\sdk\\win32.hlp"));
    CHECK_EQ(HelpCalls()[0].command, 0x101u);
    CHECK_EQ(HelpCalls()[0].keyword, std::string("printf"));
}
