// The setup dialog and keyword help, driven by a scripted user.
#include <gmock/gmock.h>

#include <cstring>

#include "fixture.h"
#include "resources/resource.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;

class Setup : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load();
    }

    headless::RegistryKeyValues& Stored() { return headless::Registry()[SettingsKeyPath]; }
    std::uint32_t StoredFlag() {
        std::uint32_t flag = 0;
        const std::string& bytes = Stored().at("flag").data;
        EXPECT_EQ(bytes.size(), 4u);
        std::memcpy(&flag, bytes.data(), sizeof flag);
        return flag;
    }
    void StoreFlag(std::uint32_t flag) {
        Stored()["flag"] = {RegTypeDword, std::string(reinterpret_cast<const char*>(&flag), 4)};
    }
    // Opens the setup dialog; the script sees it as the user does.
    std::int32_t OpenSetup(headless::DialogScript script) {
        headless::ExpectDialog(std::move(script));
        return AddInSetup(0, 0);
    }
    std::vector<std::int32_t> AddRequestsFor11() {
        std::vector<std::int32_t> ids;
        for (std::int32_t id : mainWindow().addRequests)
            if (id == CmdEditVersion) ids.push_back(id);
        return ids;
    }
};

TEST_F(Setup, ShowsTheStoredSettings) {
    StoreFlag(1);
    Stored()["W32hlpPath"] = {RegTypeString, std::string("C:\\help\\win32.hlp\0", 18)};
    bool checked = false;
    std::string path, caption;
    EXPECT_EQ(OpenSetup([&](headless::DialogDriver& d) {
                  caption = d.Caption();
                  checked = d.IsChecked(IDC_ENABLE_VERSION);
                  path = d.Text(IDC_HELP_PATH);
                  d.Press(UiIdCancel);
              }),
              -1);
    EXPECT_EQ(caption, "Vantrel Setup");
    EXPECT_TRUE(checked);
    EXPECT_EQ(path, "C:\\help\\win32.hlp");
}

TEST_F(Setup, OkUncheckedRemovesCommand11EvenWhenNotRegisteredAndKeepsOtherBits) {
    StoreFlag(4 | 8);
    mainWindow().removeRequests.clear();
    EXPECT_EQ(OpenSetup([](headless::DialogDriver& d) {
                  EXPECT_FALSE(d.IsChecked(IDC_ENABLE_VERSION));
                  d.Press(UiIdOk);
              }),
              -1);
    EXPECT_THAT(mainWindow().removeRequests, ElementsAre(11));
    EXPECT_EQ(StoredFlag(), 4u | 8u);
    EXPECT_FALSE(addInState.versionCommandRegistered);
}

TEST_F(Setup, UncheckingVersioningClearsOnlyItsBit) {
    StoreFlag(1 | 2);
    OpenSetup([](headless::DialogDriver& d) {
        d.SetChecked(IDC_ENABLE_VERSION, false);
        d.Press(UiIdOk);
    });
    EXPECT_EQ(StoredFlag(), 2u);
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5, 9, 7, 3));
}

TEST_F(Setup, CheckedTwiceRegistersCommand11Once) {
    for (int opening = 0; opening < 2; ++opening)
        OpenSetup([](headless::DialogDriver& d) {
            d.SetChecked(IDC_ENABLE_VERSION, true);
            d.Press(UiIdOk);
        });
    EXPECT_THAT(AddRequestsFor11(), ElementsAre(11));
    EXPECT_EQ(StoredFlag(), 1u);
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5, 9, 7, 3, 11));
}

TEST_F(Setup, OpeningRegistersCommand11WhenTheHostRefusedItAtLoad) {
    // Versioning was switched on, but the host refused command 11 at load.
    addInState.settings.options = OptVersioning;
    addInState.versionCommandRegistered = 0;
    StoreFlag(1);
    OpenSetup([](headless::DialogDriver& d) { d.Press(UiIdCancel); });
    EXPECT_TRUE(addInState.versionCommandRegistered);
    EXPECT_THAT(AddRequestsFor11(), ElementsAre(11));
}

TEST_F(Setup, AMissingKeyIsReportedInTheOutputPaneAndCreated) {
    // Once the main window is known, the line reaches the output pane.
    headless::Registry().erase(SettingsKeyPath);
    mainWindow().output.clear();
    EXPECT_EQ(OpenSetup([](headless::DialogDriver& d) { d.Press(UiIdCancel); }), -1);
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Not found Key: Software\\Dravenor\\Quarnel\\Vantrel\nERROR 2\n"
                            "Creating....\n"));
    EXPECT_TRUE(headless::Registry().count(SettingsKeyPath));
}

TEST_F(Setup, AVersionCommandTheHostRefusesIsReportedAndVersioningStaysOn) {
    StoreFlag(1);
    mainWindow().refuseAdd = {CmdEditVersion};
    mainWindow().output.clear();
    bool checked = false;
    OpenSetup([&](headless::DialogDriver& d) {
        checked = d.IsChecked(IDC_ENABLE_VERSION);
        d.Press(UiIdCancel);
    });
    EXPECT_TRUE(checked);
    EXPECT_THAT(host().OutputLines(main), ElementsAre("Cannot enable versioning commands!"));
    EXPECT_EQ(addInState.settings.options & OptVersioning,
              static_cast<std::uint32_t>(OptVersioning));
    EXPECT_FALSE(addInState.versionCommandRegistered);
}

TEST_F(Setup, CancelAfterFindStoresNothing) {
    StoreFlag(1);
    Stored()["W32hlpPath"] = {RegTypeString, std::string("old.hlp\0", 8)};
    auto before = Stored();
    headless::AnswerChooser("C:\\new\\api.hlp");
    std::string shown;
    OpenSetup([&](headless::DialogDriver& d) {
        d.Press(IDC_FIND_HELP);
        shown = d.Text(IDC_HELP_PATH);
        d.SetChecked(IDC_ENABLE_VERSION, false);
        d.Press(UiIdCancel);
    });
    EXPECT_EQ(shown, "C:\\new\\api.hlp");
    EXPECT_EQ(Stored().at("flag").data, before.at("flag").data);
    EXPECT_EQ(Stored().at("W32hlpPath").data, before.at("W32hlpPath").data);
}

TEST_F(Setup, FindAsksForAHelpFile) {
    HostWindow dialog = 0;
    OpenSetup([&](headless::DialogDriver& d) {
        dialog = d.Window();
        d.Type(IDC_HELP_PATH, "typed.hlp");
        d.Press(IDC_FIND_HELP); // cancelled: the box keeps its text
        EXPECT_EQ(d.Text(IDC_HELP_PATH), "typed.hlp");
        d.Press(UiIdCancel);
    });
    ASSERT_EQ(headless::Choosers().size(), 1u);
    const headless::ChooserRecord& c = headless::Choosers()[0];
    EXPECT_FALSE(c.save);
    EXPECT_EQ(c.owner, dialog); // owned by the setup dialog, not the main window
    EXPECT_THAT(c.filter, ElementsAre("Help file (.hlp)", "*.hlp", "File (*.*)", "*.*"));
    EXPECT_EQ(c.defaultExtension, "hlp");
    EXPECT_EQ(c.flags, 0x80806u);
    EXPECT_EQ(c.fileCapacity, 259u);
    EXPECT_EQ(c.initialFile, "");
}

TEST_F(Setup, HelpPathIsStoredWith259BytesAndZerosAfterIt) {
    std::string longPath = "C:\\a\\very\\long\\directory\\name\\that\\goes\\on\\win32.hlp";
    for (const std::string& typed : {longPath, std::string("C:\\x.hlp")})
        OpenSetup([&](headless::DialogDriver& d) {
            d.Type(IDC_HELP_PATH, typed);
            d.Press(UiIdOk);
        });
    const headless::RegistryValue& value = Stored().at("W32hlpPath");
    EXPECT_EQ(value.type, static_cast<unsigned>(RegTypeString));
    ASSERT_EQ(value.data.size(), 259u);
    EXPECT_EQ(value.data.substr(0, 9), std::string("C:\\x.hlp\0", 9));
    EXPECT_EQ(value.data.find_first_not_of('\0', 9), std::string::npos);
    EXPECT_STREQ(addInState.settings.helpPath, "C:\\x.hlp");
}

TEST_F(Setup, HelpPathIsCutTo258Characters) {
    OpenSetup([](headless::DialogDriver& d) {
        d.Type(IDC_HELP_PATH, std::string(300, 'p'));
        d.Press(UiIdOk);
    });
    EXPECT_EQ(std::string(addInState.settings.helpPath), std::string(258, 'p'));
    EXPECT_EQ(Stored().at("W32hlpPath").data, std::string(258, 'p') + '\0');
}

TEST_F(Setup, WritesFlagBeforeTheHelpPath) {
    headless::Registry().erase(SettingsKeyPath);
    headless::Registry()[SettingsKeyPath];
    headless::RegistryWrites().clear();
    OpenSetup([](headless::DialogDriver& d) { d.Press(UiIdOk); });
    EXPECT_THAT(headless::RegistryWrites(), ElementsAre("flag", "W32hlpPath"));
}

TEST_F(Setup, EndsAtOnceWithoutTheKey) {
    headless::Registry().erase(SettingsKeyPath);
    headless::FailRegistryCreate(5);
    bool scripted = false;
    EXPECT_EQ(OpenSetup([&](headless::DialogDriver&) { scripted = true; }), -1);
    EXPECT_FALSE(scripted);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Key Error");
    EXPECT_FALSE(headless::Registry().count(SettingsKeyPath));
}

TEST_F(Setup, TheCloseBoxCancels) {
    StoreFlag(0);
    EXPECT_EQ(OpenSetup([](headless::DialogDriver& d) {
                  d.SetChecked(IDC_ENABLE_VERSION, true);
                  d.Close();
              }),
              -1);
    EXPECT_EQ(StoredFlag(), 0u);
}

using KeywordHelp = HostTest;

TEST_F(KeywordHelp, AnswersOnlyKeywordRequestsWithAHelpFile) {
    Load();
    EXPECT_EQ(AddInHelp(main, 2, "printf"), 0); // no help file
    std::strcpy(addInState.settings.helpPath, "C:\\help\\win32.hlp");
    EXPECT_EQ(AddInHelp(main, 1, "printf"), 0);
    EXPECT_TRUE(headless::HelpCalls().empty());

    headless::SetHelpResult(7);
    EXPECT_EQ(AddInHelp(main, HostHelpKeyword, "printf"), 7);
    ASSERT_EQ(headless::HelpCalls().size(), 1u);
    EXPECT_EQ(headless::HelpCalls()[0].window, main);
    EXPECT_EQ(headless::HelpCalls()[0].helpFile, "C:\\help\\win32.hlp");
    EXPECT_EQ(headless::HelpCalls()[0].command, 0x101u);
    EXPECT_EQ(headless::HelpCalls()[0].keyword, "printf");
}

} // namespace
} // namespace kelpin::testing
