// The Windows side of the platform seam, tried directly: the same functions
// the DLL is built from are linked into the host, and here they run against
// the real system, with the DLL's own templates.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "seam/platform.h"
#include "tests/wine/harness.h"

using namespace kelpin;
using namespace kelpin::wine;

namespace {

// A portable dialog procedure, as the add-in's are: only seam calls. Its
// record comes with the dialog: the init message's param, then UiDialogParam.
struct SeamProbe {
    std::string longText;
    std::string readBack;      // 4019 read at OK with a 260-byte buffer
    unsigned readCount = 0;    // what UiGetItemText said it copied
    unsigned lengthAtInit = 0; // UiGetItemTextLength after UiSetItemText
    bool checkedAtOk = false;
    int updates = 0;
} seamProbe;

std::intptr_t SeamProc(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    SeamProbe& probe =
        *reinterpret_cast<SeamProbe*>(message == UiMsgInitDialog ? lParam : UiDialogParam(dialog));
    switch (message) {
    case UiMsgInitDialog:
        UiSetCaption(dialog, "Seam probe");
        UiSetItemText(dialog, IDC_HELP_PATH, probe.longText.c_str());
        probe.lengthAtInit = UiGetItemTextLength(dialog, IDC_HELP_PATH);
        UiCheckItem(dialog, IDC_ENABLE_VERSION, true);
        UiFocusItemEnd(dialog, IDC_HELP_PATH);
        return 0; // the focus is set
    case UiMsgCommand: {
        unsigned id = UiLowWord(wParam);
        if (id == IDC_HELP_PATH && UiHighWord(wParam) == UiNotifyUpdate) {
            ++probe.updates;
            // A letter "x" is refused: the change is taken back.
            char text[64] = "";
            UiGetItemText(dialog, IDC_HELP_PATH, text, sizeof text);
            if (std::strchr(text, 'x')) UiUndoItem(dialog, IDC_HELP_PATH);
            return 1;
        }
        if (id == UiIdOk) {
            char buffer[260];
            probe.readCount = UiGetItemText(dialog, IDC_HELP_PATH, buffer, sizeof buffer);
            probe.readBack = buffer;
            probe.checkedAtOk = UiIsItemChecked(dialog, IDC_ENABLE_VERSION);
            UiEndDialog(dialog, 42);
            return 1;
        }
        if (id == UiIdCancel) {
            UiEndDialog(dialog, -1);
            return 1;
        }
        return 0;
    }
    default: return 0;
    }
}

std::intptr_t RunSeamProbe() {
    return UiDialogBox(reinterpret_cast<ModuleHandle>(AddIn().module), IDD_SETUP, Main(), SeamProc,
                       reinterpret_cast<std::intptr_t>(&seamProbe));
}

} // namespace

// Texts longer than an edit control holds by default go in whole; reading
// back into a fixed buffer cuts at its size; the caret goes to the end; a
// procedure can take back the user's last change from EN_UPDATE.
KELPIN_SCENARIO(seam_dialog_controls) {
    LoadAddIn();
    seamProbe.longText = std::string(40000, 'a') + "z";
    std::intptr_t result = WithUser(RunSeamProbe, [](User& user) {
        Dialog dialog = user.ExpectDialog(IDD_SETUP);
        CHECK_EQ(dialog.Caption(), std::string("Seam probe"));
        CHECK(dialog.IsChecked(IDC_ENABLE_VERSION));
        DWORD start = 0, end = 0;
        HWND edit = GetDlgItem(dialog.Handle(), IDC_HELP_PATH);
        OnHostThread([&] {
            SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
        });
        CHECK_EQ(start, 40001u);
        CHECK_EQ(end, 40001u);
        CHECK_EQ(dialog.Text(IDC_HELP_PATH).size(), 40001u);

        dialog.Type(IDC_HELP_PATH, "C:\\help\\win32.hlp");
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\help\\win32.hlp"));
        dialog.Type(IDC_HELP_PATH, "C:\\help\\x.hlp");
        CHECK_EQ(dialog.Text(IDC_HELP_PATH), std::string("C:\\help\\win32.hlp"));
        dialog.SetChecked(IDC_ENABLE_VERSION, false);
        dialog.Type(IDC_HELP_PATH, std::string(300, 'p'));
        dialog.Press(IDOK);
    });
    CHECK_EQ(result, 42);
    CHECK_EQ(seamProbe.lengthAtInit, 40001u);
    CHECK(seamProbe.updates >= 3);
    CHECK_EQ(seamProbe.readCount, 259u);
    CHECK_EQ(seamProbe.readBack, std::string(259, 'p'));
    CHECK(!seamProbe.checkedAtOk);
}

KELPIN_SCENARIO(seam_message_box) {
    LoadAddIn();
    std::intptr_t result = WithUser(
        [] { return UiMessageBox(Main(), "Something\nhappened", "Seam", UiBoxIconWarning); },
        [](User& user) {
            MessageBoxSeen box = user.ExpectMessageBox();
            CHECK_EQ(box.text, std::string("Something\nhappened"));
            CHECK_EQ(box.caption, std::string("Seam"));
            CHECK_EQ(box.flags, static_cast<unsigned>(MB_ICONWARNING));
            box.Press(IDOK);
        });
    CHECK_EQ(result, 1);
    REQUIRE(MessageBoxes().size() == 1);
    CHECK_EQ(MessageBoxes()[0].owner, Main());
}

// The choosers get the record as given and hand back the full path; the
// save chooser adds the default extension to a bare name.
KELPIN_SCENARIO(seam_choosers) {
    LoadAddIn();
    static std::string directory = ScratchDirectory();
    WriteTextFile(directory + "win32.hlp", "help");
    static char file[260];
    static FileChooser chooser{
        Main(), "Help file (.hlp)\0*.hlp\0File (*.*)\0*.*\0", "hlp", 0x80806, file, 259};
    std::intptr_t chosen = WithUser([] { return UiChooseOpenFile(chooser); },
                                    [](User& user) {
                                        Chooser open = user.ExpectChooser();
                                        CHECK(!open.record.save);
                                        CHECK_EQ(open.record.owner, Main());
                                        CHECK_EQ(open.record.filterIndex, 1u);
                                        CHECK_EQ(open.record.fileCapacity, 259u);
                                        open.Choose(directory + "win32.hlp");
                                    });
    CHECK_EQ(chosen, 1);
    CHECK_EQ(std::string(file), directory + "win32.hlp");

    chosen = WithUser([] { return UiChooseOpenFile(chooser); },
                      [](User& user) { user.ExpectChooser().Cancel(); });
    CHECK_EQ(chosen, 0);

    static FileChooser save{Main(), "Header (*.h)\0*.h\0", "h", 0x80806, file, 259};
    file[0] = '\0';
    chosen = WithUser([] { return UiChooseSaveFile(save); },
                      [](User& user) {
                          Chooser chooser = user.ExpectChooser();
                          CHECK(chooser.record.save);
                          CHECK_EQ(chooser.record.defaultExtension, std::string("h"));
                          chooser.Choose(directory + "shapes");
                      });
    CHECK_EQ(chosen, 1);
    CHECK_EQ(std::string(file), directory + "shapes.h");
}

KELPIN_SCENARIO(seam_help) {
    CHECK_EQ(
        UiWinHelp(Main(), "C:\\help\\win32.hlp", 0x101, reinterpret_cast<std::uintptr_t>("strlen")),
        1);
    REQUIRE(HelpCalls().size() == 1);
    CHECK_EQ(HelpCalls()[0].window, Main());
    CHECK_EQ(HelpCalls()[0].helpFile, std::string("C:\\help\\win32.hlp"));
    CHECK_EQ(HelpCalls()[0].command, 0x101u);
    CHECK_EQ(HelpCalls()[0].keyword, std::string("strlen"));
}

KELPIN_SCENARIO(seam_registry) {
    const char* path = "Software\\Dravenor\\Quarnel\\Vantrel";
    RegKey key = 0;
    CHECK_EQ(RegistryOpenKey(path, &key), static_cast<long>(ERROR_FILE_NOT_FOUND));
    REQUIRE(RegistryCreateKey(path, &key) == 0);
    CHECK(SettingsKeyExists());
    std::uint32_t flag = 0x0D;
    CHECK_EQ(RegistrySetValue(key, "flag", RegTypeDword, &flag, 4), 0);
    char help[259] = "C:\\a.hlp";
    CHECK_EQ(RegistrySetValue(key, "W32hlpPath", RegTypeString, help, sizeof help), 0);
    RegistryCloseKey(key);

    REQUIRE(RegistryOpenKey(path, &key) == 0);
    std::uint32_t read = 0;
    unsigned type = 0, size = 4;
    CHECK_EQ(RegistryQueryValue(key, "flag", &type, &read, &size), 0);
    CHECK_EQ(type, static_cast<unsigned>(RegTypeDword));
    CHECK_EQ(size, 4u);
    CHECK_EQ(read, 0x0Du);
    char small[4];
    size = sizeof small;
    CHECK_EQ(RegistryQueryValue(key, "W32hlpPath", &type, small, &size),
             static_cast<long>(ERROR_MORE_DATA));
    size = 0;
    unsigned none = 0;
    CHECK_EQ(RegistryQueryValue(key, "missing", nullptr, &none, &size),
             static_cast<long>(ERROR_FILE_NOT_FOUND));
    RegistryCloseKey(key);
    auto stored = ReadSetting("W32hlpPath");
    REQUIRE(stored);
    CHECK_EQ(stored->data.size(), 259u);
    CHECK_EQ(stored->data.substr(0, 9), std::string("C:\\a.hlp\0", 9));
}

KELPIN_SCENARIO(seam_messages) {
    CHECK_EQ(PlatformSendMessage(0, HostMsgOutput, 0, reinterpret_cast<std::intptr_t>("lost")), 0);
    CHECK_EQ(PlatformSendMessage(Main(), HostMsgOutput, 0, reinterpret_cast<std::intptr_t>("seen")),
             1);
    CHECK_EQ(OutputLines(), std::vector<std::string>{"seen"});
    HostWindow editor = OpenEditor("line one\nline two\n", "C:\\src\\two.c");
    CHECK_EQ(PlatformSendMessage(Main(), HostMsgGetActiveEditor, 0, 0),
             static_cast<std::intptr_t>(editor));
    CHECK_EQ(PlatformSendMessage(editor, HostMsgLineIndex, 1, 0), 9);
}

// Files: whole reads and writes, the writable test, the atomic replace that
// leaves nothing behind and never replaces a file it cannot write; the current
// directory and the clock.
KELPIN_SCENARIO(seam_files) {
    std::string directory = ScratchDirectory();
    std::string path = directory + "version.c";
    std::string text("int a;\r\n\0tail", 13); // bytes as they are, a NUL among them
    text += std::string(100000, 'x');
    CHECK(FileWriteAll(path.c_str(), text));
    std::string read;
    CHECK(FileReadAll(path.c_str(), &read));
    CHECK(read == text);
    CHECK(!FileReadAll((directory + "missing.c").c_str(), &read));
    CHECK(FileIsWritable(path.c_str()));
    CHECK(!FileIsWritable((directory + "missing.c").c_str()));

    CHECK(FileReplace(path.c_str(), "new"));
    CHECK_EQ(ReadTextFile(path), std::optional<std::string>("new"));
    CHECK(!ReadTextFile(path + ".kelpin-tmp"));
    CHECK(FileReplace((directory + "fresh.h").c_str(), "fresh"));
    CHECK_EQ(ReadTextFile(directory + "fresh.h"), std::optional<std::string>("fresh"));

    // Held open by another program that shares nothing: it cannot be opened
    // for writing, so it is not replaced.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    REQUIRE(held != INVALID_HANDLE_VALUE);
    CHECK(!FileIsWritable(path.c_str()));
    CHECK(!FileReplace(path.c_str(), "refused"));
    CloseHandle(held);
    CHECK_EQ(ReadTextFile(path), std::optional<std::string>("new"));
    // Read-only, even to a process that could write it anyway (run as root).
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(!FileIsWritable(path.c_str()));
    CHECK(!FileReplace(path.c_str(), "refused"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK_EQ(ReadTextFile(path), std::optional<std::string>("new"));

    // Whether a file could be written at a path now, creating nothing.
    CHECK(FileCanCreate(path.c_str()));
    CHECK(FileCanCreate((directory + "new.h").c_str()));
    CHECK(!ReadTextFile(directory + "new.h"));
    REQUIRE(CreateDirectoryA((directory + "folder.h").c_str(), nullptr));
    CHECK(!FileCanCreate((directory + "folder.h").c_str()));
    CHECK(!FileCanCreate((directory + "nowhere\\new.h").c_str()));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(!FileCanCreate(path.c_str()));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA((directory + "folder.h").c_str());

    REQUIRE(SetCurrentDirectoryA(directory.c_str()));
    std::string current;
    CHECK(ProcessCurrentDirectory(&current));
    CHECK_EQ(current + "\\", directory);

    std::tm now{};
    CHECK(ClockLocalNow(&now));
    std::time_t seconds = std::time(nullptr);
    std::tm* local = std::localtime(&seconds);
    CHECK_EQ(now.tm_year, local->tm_year);
    CHECK_EQ(now.tm_mon, local->tm_mon);
}

namespace {

struct LockTaker {
    std::string path;
    FolderLock lock = 0;
    bool release = true;
};

DWORD WINAPI TakeFolderLock(LPVOID parameter) {
    auto* taker = static_cast<LockTaker*>(parameter);
    taker->lock = FileLockFolder(taker->path.c_str());
    if (taker->release) FileUnlockFolder(taker->lock);
    return 0;
}

HANDLE StartTaker(LockTaker* taker) {
    return CreateThread(nullptr, 0, TakeFolderLock, taker, 0, nullptr);
}

} // namespace

// The folder lock: one holder at a time for a folder, whatever the letter
// case or the file named; the holder may take it again; a holder that ends
// without giving it back passes it on; nothing is left in the folder.
KELPIN_SCENARIO(seam_folder_lock) {
    std::string directory = ScratchDirectory();
    FolderLock held = FileLockFolder((directory + "version.c").c_str());
    REQUIRE(held != 0);
    FolderLock again = FileLockFolder((directory + "other.h").c_str());
    CHECK(again != 0);
    FileUnlockFolder(again);

    // Another thread (a stand-in for another process) waits while it is held
    // and gets it once it is given back. The first wait only looks: a lock
    // that let it through would end the thread well within it.
    std::string upper = directory;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    LockTaker waiter{upper + "VERSION.H"};
    HANDLE thread = StartTaker(&waiter);
    REQUIRE(thread != nullptr);
    CHECK_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
    FileUnlockFolder(held);
    CHECK_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    CHECK(waiter.lock != 0);

    // Another folder is not held by this one's holder.
    held = FileLockFolder((directory + "version.c").c_str());
    LockTaker elsewhere{directory + "sub\\version.c"};
    REQUIRE(CreateDirectoryA((directory + "sub").c_str(), nullptr));
    thread = StartTaker(&elsewhere);
    CHECK_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    CHECK(elsewhere.lock != 0);
    FileUnlockFolder(held);

    // A holder that ends holding it: the next one gets it all the same.
    LockTaker quitter{directory + "version.c", 0, false};
    thread = StartTaker(&quitter);
    CHECK_EQ(WaitForSingleObject(thread, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    CHECK(quitter.lock != 0);
    held = FileLockFolder((directory + "version.c").c_str());
    CHECK(held != 0);
    FileUnlockFolder(held);
    CloseHandle(reinterpret_cast<HANDLE>(quitter.lock));

    // No file was made for any of it.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "*").c_str(), &found);
    std::vector<std::string> names;
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    CHECK_EQ(names, (std::vector<std::string>{".", "..", "sub"}));
}
