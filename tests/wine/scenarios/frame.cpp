// The add-in frame in the real DLL: load with each state of the settings,
// the commands it registers, the about line, unload, and the dispatch of
// ids that are no command.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

const char AboutLine[] = "Orvell's Addin toolkit. Based on Tamber functions prototype.\n"
                         "Ver 00.00.00.01 - Build 0426 Sep 27 2005 - 16:57:50";

struct Expected {
    int id;
    const char* name;
    int icon;
    unsigned flags;
};
constexpr Expected Commands[] = {
    {1, "Function prototypes", IDI_PROTOTYPES, 0},
    {5, "Edit function comment", IDI_FUNCTION_COMMENT, 7},
    {9, "Edit module comment", IDI_MODULE_COMMENT, 7},
    {7, "Find element usage", IDI_FIND_USAGE, 7},
    {11, "Edit Version/Build", IDI_EDIT_VERSION, 0},
    {3, "Current f&unction", IDI_CURRENT_FUNCTION, 7},
};

const Expected& Command(int id) {
    for (const Expected& command : Commands)
        if (command.id == id) return command;
    Abort(__FILE__, __LINE__, "no such command " + std::to_string(id));
}

// Each registered command carries its name, flags and its own icon: the
// shared 16x16 image of its resource, which loading it again by id gives back.
void CheckRegisteredCommands(const Ids& ids) {
    CHECK_EQ(RegisteredIds(), ids);
    for (const headless::RegisteredCommand& registered : MainState().commands) {
        const Expected& expected = Command(registered.id);
        CHECK_EQ(registered.name, std::string(expected.name));
        CHECK_EQ(registered.flags, expected.flags);
        CHECK(registered.icon != 0);
        HANDLE icon = LoadImageA(AddIn().module, MAKEINTRESOURCEA(expected.icon), IMAGE_ICON, 16,
                                 16, LR_SHARED);
        CHECK(icon != nullptr);
        CHECK_EQ(registered.icon, reinterpret_cast<HostWindow>(icon));
        ICONINFO info{};
        if (CHECK(GetIconInfo(reinterpret_cast<HICON>(registered.icon), &info))) {
            BITMAP bitmap{};
            GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
            CHECK_EQ(bitmap.bmWidth, 16);
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
        }
    }
}

int Load() {
    LoadAddIn();
    return AddIn().Main(Main(), HostEventLoad);
}

} // namespace

// First use: no key at all. It is created, nothing is written into it, and
// the "Not found Key" line goes to no window since the main window is not
// known yet.
KELPIN_SCENARIO(load_without_key) {
    CHECK(!SettingsKeyExists());
    CHECK_EQ(Load(), 1);
    CHECK(SettingsKeyExists());
    CHECK(!ReadSetting("flag"));
    CHECK(!ReadSetting("W32hlpPath"));
    CheckRegisteredCommands({1, 5, 9, 7, 3});
    CHECK_EQ(OutputLines(), std::vector<std::string>{AboutLine});
}

KELPIN_SCENARIO(load_flag_absent) {
    CreateSettingsKey();
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 3});
    CHECK_EQ(MainState().addRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 3}));
    CHECK_EQ(OutputLines(), std::vector<std::string>{AboutLine});
}

KELPIN_SCENARIO(load_flag_0) {
    WriteSetting("flag", 0);
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 3});
    CHECK_EQ(OutputLines(), std::vector<std::string>{AboutLine});
}

// Versioning on: command 11 comes between 7 and 3. The attempt made while the
// settings are read reaches no window, so the host sees each id once.
KELPIN_SCENARIO(load_flag_1) {
    WriteSetting("flag", 1);
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 11, 3});
    CHECK_EQ(MainState().addRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 11, 3}));
    CHECK_EQ(OutputLines(), std::vector<std::string>{AboutLine});
}

// Bits other than versioning mean nothing to the add-in, and loading writes
// nothing back.
KELPIN_SCENARIO(load_flag_other_bits) {
    WriteSetting("flag", 0x0Du);
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 11, 3});
    auto flag = ReadSetting("flag");
    REQUIRE(flag);
    CHECK_EQ(flag->type, static_cast<DWORD>(REG_DWORD));
    CHECK_EQ(flag->data, std::string("\x0D\0\0\0", 4));
}

// "flag" is read as four bytes whatever its type: the text "1" is the bytes
// 0x31 0x00, an odd number, so versioning is on. A value too long for four
// bytes cannot be read and leaves versioning off.
KELPIN_SCENARIO(load_flag_stored_as_text) {
    WriteSetting("flag", std::string("1"));
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 11, 3});
    auto flag = ReadSetting("flag");
    REQUIRE(flag);
    CHECK_EQ(flag->type, static_cast<DWORD>(REG_SZ));
}

KELPIN_SCENARIO(load_flag_too_long) {
    WriteSetting("flag", std::string("1111111"));
    CHECK_EQ(Load(), 1);
    CheckRegisteredCommands({1, 5, 9, 7, 3});
}

// A refused registration ends the load: earlier commands stay, no about line.
KELPIN_SCENARIO(load_refused_registration) {
    MainState().refuseAdd.insert(9);
    CHECK_EQ(Load(), 0);
    CHECK_EQ(RegisteredIds(), (Ids{1, 5}));
    CHECK_EQ(MainState().addRequests, (std::vector<std::int32_t>{1, 5, 9}));
    CHECK(OutputLines().empty());
}

KELPIN_SCENARIO(unload_removes_in_order) {
    WriteSetting("flag", 1);
    REQUIRE(Load() == 1);
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 1);
    CHECK_EQ(MainState().removeRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 11, 3}));
    CHECK(RegisteredIds().empty());
}

// Versioning off: 11 is asked for all the same.
KELPIN_SCENARIO(unload_versioning_off) {
    REQUIRE(Load() == 1);
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 1);
    CHECK_EQ(MainState().removeRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 11, 3}));
    CHECK(RegisteredIds().empty());
}

// A refused removal does not stop the others: nothing may stay registered
// pointing into the unloaded library. The result still says it failed.
KELPIN_SCENARIO(unload_refused_removal) {
    WriteSetting("flag", 1);
    REQUIRE(Load() == 1);
    MainState().refuseRemove.insert(5);
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 0);
    CHECK_EQ(MainState().removeRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 11, 3}));
    CHECK_EQ(RegisteredIds(), (Ids{5}));
}

// A host that turns the add-in off and on without freeing the library: the
// second load registers every command again, Edit Version/Build included.
// The settings are read while the host's window is still known from the
// first load, so 11 comes back first of all.
KELPIN_SCENARIO(reload_registers_version_command_again) {
    WriteSetting("flag", 1);
    REQUIRE(Load() == 1);
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 1);
    CHECK(RegisteredIds().empty());
    MainState().addRequests.clear();
    CHECK_EQ(AddIn().Main(Main(), HostEventLoad), 1);
    CHECK_EQ(MainState().addRequests, (std::vector<std::int32_t>{11, 1, 5, 9, 7, 3}));
    CHECK_EQ(RegisteredIds(), (Ids{11, 1, 5, 9, 7, 3}));
    // And again.
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 1);
    CHECK_EQ(AddIn().Main(Main(), HostEventLoad), 1);
    CHECK_EQ(RegisteredIds(), (Ids{11, 1, 5, 9, 7, 3}));
}

// The host keeps command 11 at unload: it is still there, and the next load
// does not register it a second time.
KELPIN_SCENARIO(reload_after_refused_removal_of_version_command) {
    WriteSetting("flag", 1);
    REQUIRE(Load() == 1);
    MainState().refuseRemove.insert(11);
    CHECK_EQ(AddIn().Main(Main(), HostEventUnload), 0);
    CHECK_EQ(RegisteredIds(), (Ids{11}));
    MainState().refuseRemove.clear();
    MainState().addRequests.clear();
    CHECK_EQ(AddIn().Main(Main(), HostEventLoad), 1);
    CHECK_EQ(MainState().addRequests, (std::vector<std::int32_t>{1, 5, 9, 7, 3}));
    CHECK_EQ(RegisteredIds(), (Ids{11, 1, 5, 9, 7, 3}));
}

KELPIN_SCENARIO(other_events) {
    REQUIRE(Load() == 1);
    HostWindow project = OpenProject();
    CHECK_EQ(AddIn().Main(project, HostEventProject), 1);
    CHECK_EQ(AddIn().Main(Main(), 5), 1);
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1); // versioning off: nothing to stamp
    CHECK_EQ(RegisteredIds(), (Ids{1, 5, 9, 7, 3}));
    CHECK(ProjectState(project).addedFiles.empty());
}

// Ids that name no command come back as they are, but only when there is
// source text to work on.
KELPIN_SCENARIO(command_even_id) {
    REQUIRE(Load() == 1);
    CHECK_EQ(AddIn().Command(2), 0);
    HostWindow editor = OpenEditor("int main(void)\n{\n    return 0;\n}\n", "C:\\src\\main.c");
    for (int id : {2, 4, 6, 8, 10, 0, 12, -3})
        CHECK_EQ(AddIn().Command(id), id);
    EditorState(editor).kind = 2;
    CHECK_EQ(AddIn().Command(2), 0);
    EditorState(editor).kind = HostKindSource;
    EditorState(editor).text.clear();
    CHECK_EQ(AddIn().Command(2), 0);
    SetActiveEditor(0);
    CHECK_EQ(AddIn().Command(4), 0);
    CHECK_EQ(AddIn().Command(11), 0);
}
