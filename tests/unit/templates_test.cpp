// The headless dialogs: every dialog has the controls its procedure works.
// What the user sees in them is checked where the commands open them
// (setup_test.cpp, version_dialog_test.cpp and the others).
#include <gmock/gmock.h>

#include <string>
#include <tuple>
#include <vector>

#include "doubles/templates.h"
#include "resources/resource.h"

namespace kelpin::headless {
namespace {

using Control = std::tuple<int, ControlKind, std::string>;

std::vector<Control> ControlsOf(int id) {
    std::vector<Control> controls;
    if (const DialogTemplate* t = FindDialogTemplate(id))
        for (const ControlTemplate& c : t->controls)
            controls.emplace_back(c.id, c.kind, c.text);
    return controls;
}

std::string CaptionOf(int id) {
    const DialogTemplate* t = FindDialogTemplate(id);
    return t ? t->caption : "(no dialog)";
}

TEST(DialogTemplates, EveryDialogHasTheControlsItsProcedureWorks) {
    struct Expected {
        int dialog;
        const char* caption;
        std::vector<int> controls;
    };
    const Expected dialogs[] = {
        {IDD_FUNCTIONS, "Functions", {IDC_PROTOTYPE_TEXT, IDC_SAVE_AS, 2}},
        {IDD_FUNCTION, "Function", {IDC_GOTO_START, IDC_GOTO_END, 2, IDC_DECLARATION}},
        {IDD_FUNCTION_COMMENT,
         "Dialog",
         {IDC_SYNOPSIS, IDC_INPUT, IDC_OUTPUT, IDC_ERRORS, 1, 2, IDC_CREATED, IDC_MODIFIED,
          IDC_DECLARATION}},
        {IDD_MODULE_COMMENT,
         "Dialog",
         {IDC_PROJECT, IDC_STATUS, IDC_ABSTRACT, IDC_AUTHOR, 1, 2, IDC_CREATED, IDC_MODIFIED}},
    };
    for (const Expected& expected : dialogs) {
        SCOPED_TRACE(expected.dialog);
        EXPECT_EQ(CaptionOf(expected.dialog), expected.caption);
        std::vector<int> ids;
        for (const Control& c : ControlsOf(expected.dialog))
            if (std::get<0>(c) != -1) ids.push_back(std::get<0>(c));
        for (int id : expected.controls)
            EXPECT_THAT(ids, ::testing::Contains(id)) << "control " << id;
    }
    EXPECT_EQ(DialogTemplates().size(), 6u);
}

} // namespace
} // namespace kelpin::headless
