// An in-process Host IDE: a main window, project windows and source editors
// holding byte texts, answering every host message the add-in sends.
//
// It stands in for the real IDE in the tests on Linux and, inside the
// stand-in host that loads the real DLL under Wine, it is the editor model
// behind real windows. Window handles are chosen by the caller or handed out
// from a counter; a message to an unknown window yields 0.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/editor_text.h"
#include "host/host.h"

namespace kelpin::headless {

struct EditorWindow {
    std::string text; // the document, bytes as they stand
    std::string path; // "\"-separated full file name
    std::int32_t kind = HostKindSource;
    HostSelection selection{0, 0};
    int scrolls = 0; // HostMsgScrollCaret requests
    bool refuseDocumentInfo = false;
    bool refuseSelection = false; // HostMsgGetSelection yields 0
};

struct ProjectWindow {
    std::map<std::string, std::string> symbols;
    std::vector<std::string> addedFiles;
    bool refuseAddFile = false;
};

struct RegisteredCommand {
    std::int32_t id;
    std::string name;
    IconHandle icon;
    std::uint32_t flags;
};

// One HostMsgOutput: text is empty and hasText false for the output without
// text.
struct OutputEntry {
    bool hasText;
    std::string text;
};

struct MainWindow {
    std::vector<RegisteredCommand> commands; // registered now, in order
    std::vector<std::int32_t> addRequests;   // every HostMsgAddCommand, refused ones too
    std::vector<std::int32_t> removeRequests;
    std::set<std::int32_t> refuseAdd;
    std::set<std::int32_t> refuseRemove;
    std::intptr_t addResult = 1; // the answer to an accepted HostMsgAddCommand
    std::vector<OutputEntry> output;
    HostWindow activeEditor = 0;
};

class HostModel {
  public:
    // Creates a window; handle 0 picks the next free one. Returns its handle.
    HostWindow AddMainWindow(HostWindow handle = 0);
    HostWindow AddProjectWindow(HostWindow handle = 0);
    HostWindow AddEditor(std::string text, std::string path, HostWindow handle = 0);

    MainWindow* Main(HostWindow window);
    ProjectWindow* Project(HostWindow window);
    EditorWindow* Editor(HostWindow window);

    // The host's answer to one message.
    std::intptr_t Handle(HostWindow window, unsigned message, std::uintptr_t wParam,
                         std::intptr_t lParam);

    // Output lines with text, in order (the outputs without text left out).
    std::vector<std::string> OutputLines(HostWindow main) const;

  private:
    std::intptr_t HandleMain(MainWindow& main, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);
    std::intptr_t HandleProject(ProjectWindow& project, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);
    std::intptr_t HandleEditor(EditorWindow& editor, unsigned message, std::uintptr_t wParam,
                               std::intptr_t lParam);
    HostWindow Allocate(HostWindow handle);

    HostWindow next_ = 0x100;
    std::map<HostWindow, MainWindow> mains_;
    std::map<HostWindow, ProjectWindow> projects_;
    std::map<HostWindow, EditorWindow> editors_;
};

} // namespace kelpin::headless
