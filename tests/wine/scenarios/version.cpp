// Version stamping in the real DLL: the build event creating and then
// incrementing the version module, and command 11's dialog.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/version_texts.h"
#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

constexpr int EditVersion = 11; // command 11, "Edit Version/Build"

using testing::HeaderText;
using testing::SourceText;

std::string FinalLine(const char* version) {
    return std::string("VersionString[] = \"") + version + "\"; - 16:54:26, Sep 27 2005";
}

// A file's bytes, or "(missing)".
std::string ReadBytes(const char* path) {
    return ReadTextFile(path).value_or("(missing)");
}

// The scenario works in a fresh, empty folder that is the process's current
// directory; the files are removed at the end.
class EmptyDirectory {
  public:
    EmptyDirectory() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%skelpin-version-%lu-%lu", temp, GetCurrentProcessId(),
                      GetTickCount());
        path_ = name;
        REQUIRE(CreateDirectoryA(path_.c_str(), nullptr));
        REQUIRE(SetCurrentDirectoryA(path_.c_str()));
        char current[MAX_PATH];
        GetCurrentDirectoryA(sizeof current, current);
        current_ = current;
    }
    ~EmptyDirectory() {
        SetCurrentDirectoryA(temp());
        for (const char* file : {"version.c", "version.h"}) {
            std::string path = path_ + "\\" + file;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
            RemoveDirectoryA(path.c_str()); // a folder made in a file's place
        }
        RemoveDirectoryA(path_.c_str());
    }
    // As GetCurrentDirectoryA gives it.
    const std::string& Current() const { return current_; }

  private:
    static const char* temp() {
        static char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        return temp;
    }
    std::string path_;
    std::string current_;
};

// Versioning on, the add-in loaded, a project whose VERSION is "version"
// handed over; the output so far is forgotten.
HostWindow StartVersionProject() {
    WriteSetting("flag", 1);
    StartAddIn();
    HostWindow project = OpenProject();
    ProjectState(project).symbols["VERSION"] = "version";
    CHECK_EQ(AddIn().Main(project, HostEventProject), 1);
    MainState().output.clear();
    return project;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

// The first build in an empty folder creates both files and offers the
// source to the project, with the pane lines in their order.
KELPIN_SCENARIO(build_first_in_empty_directory) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);

    const std::vector<headless::OutputEntry>& output = MainState().output;
    REQUIRE(output.size() == 4);
    CHECK(!output[0].hasText);
    CHECK_EQ(output[1].text, std::string("Creating version source file \"version.c\""));
    CHECK_EQ(output[2].text, std::string("Creating version header file \"version.h\""));
    CHECK_EQ(output[3].text, FinalLine("Ver 00.00.00.01 - Build 0001"));
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 1));
    CHECK_EQ(ReadBytes("version.h"), HeaderText("version"));

    const std::vector<std::string>& added = ProjectState(project).addedFiles;
    REQUIRE(added.size() == 1);
    CHECK(EndsWith(added[0], "\\version.c"));
    CHECK_EQ(added[0], directory.Current() + "\\version.c");
    CHECK(MessageBoxes().empty());
}

KELPIN_SCENARIO(build_second) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    AddIn().Main(project, HostEventBuild);
    MainState().output.clear();
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);
    CHECK_EQ(OutputLines(), (std::vector<std::string>{"Creating version source file \"version.c\"",
                                                      FinalLine("Ver 00.00.00.01 - Build 0002")}));
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 2));
    CHECK_EQ(ReadBytes("version.h"), HeaderText("version"));
    CHECK_EQ(ProjectState(project).addedFiles.size(), 1u);
}

// A module in a folder as kelpin version writes it, including "version.h"
// beside it and guarded by the bare name: the build reads its numbers and
// counts on, writes the source file in its own form and keeps the header.
KELPIN_SCENARIO(build_reads_the_command_lines_module) {
    EmptyDirectory directory;
    REQUIRE(CreateDirectoryA("sub", nullptr));
    struct Cleanup {
        ~Cleanup() {
            DeleteFileA("sub\\version.c");
            DeleteFileA("sub\\version.h");
            RemoveDirectoryA("sub");
        }
    } cleanup;
    WriteTextFile("sub\\version.c", SourceText("version", 1, 2, 3, 4, 5));
    WriteTextFile("sub\\version.h", HeaderText("version"));
    HostWindow project = StartVersionProject();
    ProjectState(project).symbols["VERSION"] = "sub\\version";
    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);
    CHECK_EQ(OutputLines(),
             (std::vector<std::string>{"Creating version source file \"sub\\version.c\"",
                                       FinalLine("Ver 01.02.03.04 - Build 0006")}));
    CHECK_EQ(ReadBytes("sub\\version.c"), SourceText("sub\\version", 1, 2, 3, 4, 6));
    CHECK_EQ(ReadBytes("sub\\version.h"), HeaderText("version"));
    CHECK(MessageBoxes().empty());
    CHECK(ProjectState(project).addedFiles.empty());
}

// A read-only version file keeps its numbers; the build shows the error box
// over the project window.
KELPIN_SCENARIO(build_read_only_source) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    AddIn().Main(project, HostEventBuild);
    REQUIRE(SetFileAttributesA("version.c", FILE_ATTRIBUTE_READONLY));
    std::intptr_t result =
        WithUser([&] { return AddIn().Main(project, HostEventBuild); },
                 [](User& user) {
                     MessageBoxSeen box = user.ExpectMessageBox();
                     CHECK_EQ(box.text, std::string("Cannot create output file!"));
                     CHECK_EQ(box.caption, std::string("TALLIX ERROR"));
                     CHECK_EQ(box.flags & MB_ICONMASK, static_cast<unsigned>(MB_ICONERROR));
                     box.Press(IDOK);
                 });
    CHECK_EQ(result, 1);
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 1));
    REQUIRE(MessageBoxes().size() == 1);
    CHECK_EQ(MessageBoxes()[0].owner, project);
}

// A folder where the header should be: the header cannot be created, and
// the pane never says it is being created. The source file keeps its new
// numbers and is offered to the project.
KELPIN_SCENARIO(build_header_cannot_be_created) {
    EmptyDirectory directory;
    REQUIRE(CreateDirectoryA("version.h", nullptr));
    HostWindow project = StartVersionProject();
    std::intptr_t result =
        WithUser([&] { return AddIn().Main(project, HostEventBuild); },
                 [](User& user) {
                     MessageBoxSeen box = user.ExpectMessageBox();
                     CHECK_EQ(box.text, std::string("Cannot create output file!"));
                     CHECK_EQ(box.caption, std::string("TALLIX ERROR"));
                     box.Press(IDOK);
                 });
    CHECK_EQ(result, 1);
    CHECK_EQ(OutputLines(), std::vector<std::string>{"Creating version source file \"version.c\""});
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 1));
    CHECK_EQ(ProjectState(project).addedFiles,
             std::vector<std::string>{directory.Current() + "\\version.c"});
}

// Command 11 shows the numbers; a third digit typed into a component is
// undone at once; OK rewrites the source file and nothing else.
KELPIN_SCENARIO(edit_version_ok) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    AddIn().Main(project, HostEventBuild);
    MainState().output.clear();
    OpenEditor("int main(void) { return 0; }\r\n", "C:\\src\\main.c");

    std::intptr_t result =
        WithUser([] { return AddIn().Command(EditVersion); },
                 [](User& user) {
                     Dialog dialog = user.ExpectDialog(IDD_VERSION);
                     CHECK_EQ(dialog.Caption(), std::string("Edit Build/Version"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_MSC), std::string("0"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_2SC), std::string("0"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_3SC), std::string("0"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_LSC), std::string("1"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_BUILD), std::string("1"));
                     CHECK_EQ(dialog.Text(IDC_VERSION_FILE), std::string("version"));
                     dialog.Type(IDC_VERSION_MSC, "12");
                     CHECK_EQ(dialog.Text(IDC_VERSION_MSC), std::string("12"));
                     dialog.Type(IDC_VERSION_MSC, "123");
                     CHECK_EQ(dialog.Text(IDC_VERSION_MSC), std::string("12"));
                     dialog.Type(IDC_VERSION_BUILD, "10000");
                     CHECK_EQ(dialog.Text(IDC_VERSION_BUILD), std::string("1"));
                     dialog.Type(IDC_VERSION_3SC, "007");
                     dialog.Type(IDC_VERSION_BUILD, "345");
                     dialog.Press(IDOK);
                     CHECK_EQ(dialog.Result(), -1);
                 });
    CHECK_EQ(result, 1);
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 12, 0, 7, 1, 345));
    CHECK_EQ(ReadBytes("version.h"), HeaderText("version"));
    CHECK(OutputLines().empty());
}

KELPIN_SCENARIO(edit_version_cancel) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    AddIn().Main(project, HostEventBuild);
    OpenEditor("int x;\r\n", "C:\\src\\x.c");
    WithUser([] { return AddIn().Command(EditVersion); },
             [](User& user) {
                 Dialog dialog = user.ExpectDialog(IDD_VERSION);
                 dialog.Type(IDC_VERSION_MSC, "5");
                 dialog.Press(IDCANCEL);
                 CHECK_EQ(dialog.Result(), -1);
             });
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 1));
}

KELPIN_SCENARIO(edit_version_versioning_off) {
    WriteSetting("flag", 0);
    StartAddIn();
    MainState().output.clear();
    HostWindow project = OpenProject();
    ProjectState(project).symbols["VERSION"] = "version";
    AddIn().Main(project, HostEventProject);
    OpenEditor("int x;\r\n", "C:\\src\\x.c");
    CHECK_EQ(AddIn().Command(EditVersion), 1);
    CHECK_EQ(OutputLines(), std::vector<std::string>{"Error - Versioning not enabled!"});
    CHECK(Dialogs().empty());
}

// Command 11 before the first build: the module's source file does not exist
// yet. The information box, captioned with the module name, is all the user
// sees: the dialog ends before it is shown, and no file is made. After a
// build the dialog opens on the new file's numbers.
KELPIN_SCENARIO(edit_version_before_first_build) {
    EmptyDirectory directory;
    HostWindow project = StartVersionProject();
    OpenEditor("int x;\r\n", "C:\\src\\x.c");
    std::intptr_t result = WithUser(
        [] { return AddIn().Command(EditVersion); },
        [](User& user) {
            MessageBoxSeen box = user.ExpectMessageBox();
            CHECK_EQ(box.text, std::string("The file doesn't exist.\nCompile project before!"));
            CHECK_EQ(box.caption, std::string("version"));
            CHECK_EQ(box.flags & MB_ICONMASK, static_cast<unsigned>(MB_ICONINFORMATION));
            box.Press(IDOK);
            Dialog dialog = user.ExpectDialog(IDD_VERSION);
            CHECK_EQ(dialog.Result(), -1);
            user.ExpectNothingMore();
        });
    CHECK_EQ(result, 1);
    REQUIRE(Dialogs().size() == 1);
    CHECK(!Dialogs()[0].shown);
    REQUIRE(MessageBoxes().size() == 1);
    CHECK_EQ(MessageBoxes()[0].owner, Main());
    CHECK_EQ(ReadBytes("version.c"), std::string("(missing)"));
    CHECK_EQ(ReadBytes("version.h"), std::string("(missing)"));
    CHECK(OutputLines().empty());
    CHECK(ProjectState(project).addedFiles.empty());

    CHECK_EQ(AddIn().Main(project, HostEventBuild), 1);
    result = WithUser([] { return AddIn().Command(EditVersion); },
                      [](User& user) {
                          Dialog dialog = user.ExpectDialog(IDD_VERSION);
                          CHECK_EQ(dialog.Text(IDC_VERSION_FILE), std::string("version"));
                          CHECK_EQ(dialog.Text(IDC_VERSION_MSC), std::string("0"));
                          CHECK_EQ(dialog.Text(IDC_VERSION_2SC), std::string("0"));
                          CHECK_EQ(dialog.Text(IDC_VERSION_3SC), std::string("0"));
                          CHECK_EQ(dialog.Text(IDC_VERSION_LSC), std::string("1"));
                          CHECK_EQ(dialog.Text(IDC_VERSION_BUILD), std::string("1"));
                          dialog.Press(IDCANCEL);
                          CHECK_EQ(dialog.Result(), -1);
                      });
    CHECK_EQ(result, 1);
    REQUIRE(Dialogs().size() == 2);
    CHECK(Dialogs()[1].shown);
    CHECK_EQ(MessageBoxes().size(), 1u);
    CHECK_EQ(ReadBytes("version.c"), SourceText("version", 0, 0, 0, 1, 1));
}
