// The frame: load and unload, the command table, dispatch and the editor
// helpers.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "fixture.h"
#include "resources/resource.h"

namespace kelpin::testing {
namespace {

using ::testing::ElementsAre;

void StoreFlag(std::uint32_t flag) {
    std::string bytes(reinterpret_cast<const char*>(&flag), sizeof flag);
    headless::Registry()[SettingsKeyPath]["flag"] = {RegTypeDword, bytes};
}

using LoadEvent = HostTest;

// The menu as the user meets it: each entry, under its own icon, opens what
// its name says when chosen with the caret in a function.
TEST_F(LoadEvent, EachMenuEntryOpensWhatItsNameSays) {
    EXPECT_EQ(Load(), 1);
    PutCaretOnLine(OpenEditor("int f(void)\n{\n    return f();\n}\n"), 3);
    const std::map<std::string, std::pair<int, std::vector<int>>> opens = {
        {"Function prototypes", {IDI_PROTOTYPES, {IDD_FUNCTIONS}}},
        {"Edit function comment", {IDI_FUNCTION_COMMENT, {IDD_FUNCTION_COMMENT}}},
        {"Edit module comment", {IDI_MODULE_COMMENT, {IDD_MODULE_COMMENT}}},
        {"Find element usage", {IDI_FIND_USAGE, {}}}, // it searches the project
        {"Current f&unction", {IDI_CURRENT_FUNCTION, {IDD_FUNCTION}}}};
    std::vector<std::string> names;
    for (const headless::RegisteredCommand& c : mainWindow().commands) {
        names.push_back(c.name);
        ASSERT_EQ(opens.count(c.name), 1u) << c.name;
        headless::OpenedDialogs().clear();
        AddInCommand(c.id);
        EXPECT_EQ(c.icon, headless::IconFor(opens.at(c.name).first)) << c.name;
        EXPECT_EQ(headless::OpenedDialogs(), opens.at(c.name).second) << c.name;
    }
    EXPECT_THAT(names,
                ElementsAre("Function prototypes", "Edit function comment", "Edit module comment",
                            "Find element usage", "Current f&unction"));
}

TEST_F(LoadEvent, RegistersVersionCommandBeforeCommand3WhenVersioningIsOn) {
    StoreFlag(1);
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(1, 5, 9, 7, 11, 3));
    EXPECT_EQ(mainWindow().commands[4].name, "Edit Version/Build");
    EXPECT_EQ(mainWindow().commands[4].flags, 0u);
    EXPECT_EQ(mainWindow().commands[4].icon, headless::IconFor(IDI_EDIT_VERSION));
    EXPECT_TRUE(addInState.versionCommandRegistered);
}

TEST_F(LoadEvent, WritesTheAboutLine) {
    Load();
    EXPECT_THAT(host().OutputLines(main),
                ElementsAre("Orvell's Addin toolkit. Based on Tamber functions prototype.\n"
                            "Ver 00.00.00.01 - Build 0426 Sep 27 2005 - 16:57:50"));
}

TEST_F(LoadEvent, FirstUseCreatesTheKeyAndItsLineReachesNoWindow) {
    EXPECT_FALSE(headless::Registry().count(SettingsKeyPath));
    EXPECT_EQ(Load(), 1);
    EXPECT_TRUE(headless::Registry().count(SettingsKeyPath));
    EXPECT_EQ(addInState.settings.options, 0u);
    EXPECT_STREQ(addInState.settings.helpPath, "");
    // The "Not found Key" line was sent before the main window was known.
    for (const std::string& line : host().OutputLines(main))
        EXPECT_EQ(line.find("Not found Key"), std::string::npos);
    EXPECT_EQ(mainWindow().output.size(), 1u);
}

TEST_F(LoadEvent, KeyThatCannotBeCreatedStopsTheLoad) {
    headless::FailRegistryCreate(5);
    EXPECT_EQ(Load(), 0);
    EXPECT_TRUE(mainWindow().addRequests.empty());
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text,
              "Cannot create key: Software\\Dravenor\\Quarnel\\Vantrel\nERROR 5");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Key Error");
    EXPECT_EQ(headless::MessageBoxes()[0].owner, main);
    EXPECT_EQ(headless::MessageBoxes()[0].flags, UiBoxIconError);
}

TEST_F(LoadEvent, RefusedRegistrationStopsAtOnce) {
    mainWindow().refuseAdd = {9};
    EXPECT_EQ(Load(), 0);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(1, 5, 9));
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5));
    EXPECT_TRUE(mainWindow().output.empty()); // no about line
}

TEST_F(LoadEvent, RefusedVersionCommandKeepsVersioningOn) {
    StoreFlag(1 | 4);
    mainWindow().refuseAdd = {11};
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5, 9, 7, 3));
    EXPECT_EQ(addInState.settings.options, 5u);
    EXPECT_FALSE(addInState.versionCommandRegistered);
}

TEST_F(LoadEvent, ResultIsThatOfRegisteringCommand3) {
    mainWindow().refuseAdd = {3};
    EXPECT_EQ(Load(), 0);
    EXPECT_EQ(host().OutputLines(main).size(), 1u);
}

TEST_F(LoadEvent, ResultIsTheHostsOwnAnswerForCommand3) {
    // The host may answer a registration with any non-zero value; the load
    // hands the last one back as it came.
    mainWindow().addResult = 0x83E8;
    EXPECT_EQ(Load(), 0x83E8);
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5, 9, 7, 3));
}

using UnloadEvent = HostTest;

TEST_F(UnloadEvent, RemovesEveryCommandInOrder) {
    Load();
    EXPECT_EQ(AddInMain(main, HostEventUnload), 1);
    EXPECT_THAT(mainWindow().removeRequests, ElementsAre(1, 5, 9, 7, 11, 3));
    EXPECT_TRUE(mainWindow().commands.empty());
}

// A host that turns the add-in off and on without freeing the library: the
// second load registers every command again, 11 included. The settings are
// read while the host's window is still known from the first load, so 11 is
// registered then, first of all; the load's own attempt finds it registered.
TEST_F(UnloadEvent, LoadAfterUnloadRegistersTheVersionCommandAgain) {
    StoreFlag(1);
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(AddInMain(main, HostEventUnload), 1);
    EXPECT_FALSE(addInState.versionCommandRegistered);
    mainWindow().addRequests.clear();
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(11, 1, 5, 9, 7, 3));
    EXPECT_THAT(RegisteredIds(), ElementsAre(11, 1, 5, 9, 7, 3));
    EXPECT_TRUE(addInState.versionCommandRegistered);

    // And so on, every time.
    ASSERT_EQ(AddInMain(main, HostEventUnload), 1);
    EXPECT_TRUE(RegisteredIds().empty());
    EXPECT_EQ(Load(), 1);
    EXPECT_EQ(std::count(mainWindow().addRequests.begin(), mainWindow().addRequests.end(), 11), 2);
    EXPECT_EQ(RegisteredIds().size(), 6u);
}

// When the host keeps command 11, the add-in knows it is still there and the
// next load does not register it a second time; the other commands come back.
TEST_F(UnloadEvent, RefusedRemovalOfTheVersionCommandKeepsItRegisteredOnce) {
    StoreFlag(1);
    ASSERT_EQ(Load(), 1);
    mainWindow().refuseRemove = {11};
    EXPECT_EQ(AddInMain(main, HostEventUnload), 0);
    EXPECT_THAT(RegisteredIds(), ElementsAre(11));
    EXPECT_TRUE(addInState.versionCommandRegistered);
    mainWindow().addRequests.clear();
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(1, 5, 9, 7, 3));
    EXPECT_THAT(RegisteredIds(), ElementsAre(11, 1, 5, 9, 7, 3));
}

// A second load whose first registration of 11 is refused says so in the
// pane and tries once more in the table's place; the other commands come back.
TEST_F(UnloadEvent, RefusedVersionCommandAtASecondLoadIsToldAndTriedAgain) {
    StoreFlag(1);
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(AddInMain(main, HostEventUnload), 1);
    mainWindow().addRequests.clear();
    mainWindow().refuseAdd = {11};
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(11, 1, 5, 9, 7, 11, 3));
    EXPECT_THAT(RegisteredIds(), ElementsAre(1, 5, 9, 7, 3));
    std::vector<std::string> lines = host().OutputLines(main);
    ASSERT_EQ(lines.size(), 3u); // the about line at each load, and between them:
    EXPECT_EQ(lines[1], "Cannot enable versioning commands!");
    EXPECT_EQ(addInState.settings.options & OptVersioning,
              static_cast<std::uint32_t>(OptVersioning));
}

// Versioning off: nothing is registered for 11 at the second load either.
TEST_F(UnloadEvent, LoadAfterUnloadWithVersioningOff) {
    ASSERT_EQ(Load(), 1);
    ASSERT_EQ(AddInMain(main, HostEventUnload), 1);
    mainWindow().addRequests.clear();
    EXPECT_EQ(Load(), 1);
    EXPECT_THAT(mainWindow().addRequests, ElementsAre(1, 5, 9, 7, 3));
    EXPECT_FALSE(addInState.versionCommandRegistered);
}

TEST_F(UnloadEvent, RefusedRemovalStillRemovesTheRest) {
    Load();
    mainWindow().refuseRemove = {5};
    EXPECT_EQ(AddInMain(main, HostEventUnload), 0);
    EXPECT_THAT(mainWindow().removeRequests, ElementsAre(1, 5, 9, 7, 11, 3));
    EXPECT_THAT(RegisteredIds(), ElementsAre(5));
}

using Events = HostTest;

TEST_F(Events, ProjectWindowIsKeptAndOtherEventsDoNothing) {
    Load();
    HostWindow project = host().AddProjectWindow();
    EXPECT_EQ(AddInMain(project, HostEventProject), 1);
    EXPECT_EQ(addInState.projectWindow, project);
    AddInState before = addInState;
    EXPECT_EQ(AddInMain(main, 5), 1);
    EXPECT_EQ(AddInMain(project, HostEventBuild), 1); // versioning off
    EXPECT_EQ(std::memcmp(&before, &addInState, sizeof before), 0);
}

using Dispatch = HostTest;

TEST_F(Dispatch, EvenAndOutOfRangeIdsComeBackWithAnEditor) {
    Load();
    OpenEditor("int x;\n");
    for (int id : {2, 4, 6, 8, 10, 0, 12, -3})
        EXPECT_EQ(AddInCommand(id), id);
}

TEST_F(Dispatch, NothingRunsWithoutASourceEditorWithText) {
    Load();
    EXPECT_EQ(AddInCommand(2), 0); // no editor
    HostWindow editor = OpenEditor("");
    EXPECT_EQ(AddInCommand(2), 0); // empty text
    host().Editor(editor)->text = "int x;";
    host().Editor(editor)->kind = 2;
    EXPECT_EQ(AddInCommand(2), 0); // not a source editor
    EXPECT_EQ(AddInCommand(11), 0);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(Dispatch, Command3OutsideEveryFunctionShowsTheWarning) {
    Load();
    HostWindow editor = OpenEditor("int x;\n", "C:\\a.c", 3);
    AddInCommand(CmdCurrentFunction);
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].text, "You're not in a function body.\n");
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "Function");
    EXPECT_EQ(headless::MessageBoxes()[0].flags, UiBoxIconWarning);
    EXPECT_EQ(headless::MessageBoxes()[0].owner, main);
    EXPECT_EQ(host().Editor(editor)->selection.start, 3);
}

TEST_F(Dispatch, Command3WithoutASelectionDoesNothing) {
    Load();
    HostWindow editor = OpenEditor("int x;\n");
    host().Editor(editor)->refuseSelection = true;
    EXPECT_EQ(AddInCommand(CmdCurrentFunction), -1);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(Dispatch, Command9CutsThePathToItsFileName) {
    Load();
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {{"C:\\work\\src\\main.c", "main.c"},
                 {"main.c", "main.c"},
                 {"\\main.c", "\\main.c"},
                 {"C:\\dir\\", ""}};
    for (const Case& c : cases) {
        OpenEditor("int x;\n", c.path);
        std::string caption = "not shown";
        headless::ExpectDialog([&](headless::DialogDriver& d) { caption = d.Caption(); });
        AddInCommand(CmdModuleComment);
        EXPECT_EQ(caption, c.name) << c.path;
    }
}

using EditorHelpers = HostTest;

TEST_F(EditorHelpers, CaretLineCountsFromOne) {
    Load();
    HostWindow editor = OpenEditor("a\nb\nc\n");
    EXPECT_EQ(CaretLine(main), 1);
    host().Editor(editor)->selection = {4, 5};
    EXPECT_EQ(CaretLine(main), 3);
    host().Editor(editor)->kind = 3;
    EXPECT_EQ(CaretLine(main), -1);
    mainWindow().activeEditor = 0;
    EXPECT_EQ(CaretLine(main), -1);
}

TEST_F(EditorHelpers, FetchEditorTextCopiesTheWholeText) {
    Load();
    std::string text("int f(void)\r\n{\r\n}\r\n");
    OpenEditor(text);
    std::unique_ptr<char[]> copy = FetchEditorText(main);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::string(copy.get()), text);
    OpenEditor("");
    EXPECT_EQ(FetchEditorText(main), nullptr);
}

TEST_F(EditorHelpers, MoveCaretToALineOrAPosition) {
    Load();
    HostWindow editor = OpenEditor("one\ntwo\nthree\n");
    MoveCaret(main, 2, MoveCaretLine | MoveCaretScroll);
    EXPECT_EQ(host().Editor(editor)->selection.start, 8);
    EXPECT_EQ(host().Editor(editor)->selection.end, 8);
    EXPECT_EQ(host().Editor(editor)->scrolls, 1);
    MoveCaret(main, 5, 0);
    EXPECT_EQ(host().Editor(editor)->selection.start, 5);
    EXPECT_EQ(host().Editor(editor)->scrolls, 1);
}

} // namespace
} // namespace kelpin::testing
