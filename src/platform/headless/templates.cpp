#include "platform/headless/templates.h"

#include "resources/resource.h"

namespace kelpin::headless {

namespace {
constexpr ControlKind Edit = ControlKind::Edit;
constexpr ControlKind Button = ControlKind::Button;
constexpr ControlKind Check = ControlKind::CheckBox;
constexpr ControlKind Static = ControlKind::Static;
constexpr ControlKind Group = ControlKind::GroupBox;
} // namespace

const std::vector<DialogTemplate>& DialogTemplates() {
    static const std::vector<DialogTemplate> templates = {
        {IDD_FUNCTIONS,
         "Functions",
         {{IDC_PROTOTYPE_TEXT, Edit, ""},
          {IDC_SAVE_AS, Button, "Save as..."},
          {2, Button, "Cancel"}}},
        {IDD_FUNCTION,
         "Function",
         {{IDC_GOTO_START, Button, "Go to &start"},
          {IDC_GOTO_END, Button, "Go to &end"},
          {2, Button, "&Close"},
          {IDC_DECLARATION, Static, "f"}}},
        {IDD_FUNCTION_COMMENT,
         "Dialog",
         {{IDC_SYNOPSIS, Edit, ""},
          {IDC_INPUT, Edit, ""},
          {IDC_OUTPUT, Edit, ""},
          {IDC_ERRORS, Edit, ""},
          {1, Button, "OK"},
          {2, Button, "Cancel"},
          {-1, Group, "Synopsis"},
          {-1, Group, "Input"},
          {-1, Group, "Output"},
          {-1, Group, "Error Handling"},
          {IDC_CREATED, Edit, ""},
          {IDC_MODIFIED, Edit, ""},
          {-1, Group, "Created on"},
          {-1, Group, "Last Modified on"},
          {IDC_DECLARATION, Edit, ""},
          {IDC_FUNCTION_GROUP, Group, "Function"}}},
        {IDD_MODULE_COMMENT,
         "Dialog",
         {{IDC_PROJECT, Edit, ""},
          {IDC_STATUS, Edit, ""},
          {IDC_ABSTRACT, Edit, ""},
          {IDC_AUTHOR, Edit, ""},
          {1, Button, "OK"},
          {2, Button, "Cancel"},
          {-1, Group, "Project"},
          {-1, Group, "Status"},
          {-1, Group, "Abstract"},
          {IDC_CREATED, Edit, ""},
          {IDC_MODIFIED, Edit, ""},
          {-1, Group, "Author"},
          {-1, Group, "Created on"},
          {-1, Group, "Last modified on"}}},
        {IDD_SETUP,
         "Vantrel Setup",
         {{IDC_ENABLE_VERSION, Check, "Enable Version tool"},
          {-1, Static, "Win32.hlp Path"},
          {IDC_HELP_PATH, Edit, ""},
          {1, Button, "OK"},
          {2, Button, "Cancel"},
          {IDC_FIND_HELP, Button, "Find ...."}}},
        {IDD_VERSION,
         "Edit Build/Version",
         {{IDC_VERSION_MSC, Edit, "00"},
          {IDC_VERSION_2SC, Edit, "00"},
          {IDC_VERSION_3SC, Edit, "00"},
          {IDC_VERSION_LSC, Edit, "00"},
          {IDC_VERSION_BUILD, Edit, "0000"},
          {1, Button, "OK"},
          {2, Button, "Cancel"},
          {-1, Static, "Version"},
          {IDC_VERSION_DOT1, Static, "."},
          {IDC_VERSION_DOT2, Static, "."},
          {IDC_VERSION_DOT3, Static, "."},
          {-1, Static, "Build"},
          {-1, Static, "File"},
          {IDC_VERSION_FILE, Static, ""}}},
    };
    return templates;
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : DialogTemplates())
        if (t.id == id) return &t;
    return nullptr;
}

} // namespace kelpin::headless
