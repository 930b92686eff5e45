// The headless dialogs, as the user of the real ones sees them: the controls
// of the setup and version dialogs in their tab order with their kinds and
// first texts, and in every dialog the controls its procedure works.
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

TEST(DialogTemplates, SetupAndVersionDialogsInTabOrder) {
    using K = ControlKind;
    EXPECT_EQ(CaptionOf(IDD_SETUP), "Vantrel Setup");
    EXPECT_THAT(ControlsOf(IDD_SETUP),
                ::testing::ElementsAre(Control{4018, K::CheckBox, "Enable Version tool"},
                                       Control{-1, K::Static, "Win32.hlp Path"},
                                       Control{4019, K::Edit, ""}, Control{1, K::Button, "OK"},
                                       Control{2, K::Button, "Cancel"},
                                       Control{4021, K::Button, "Find ...."}));
    EXPECT_EQ(CaptionOf(IDD_VERSION), "Edit Build/Version");
    EXPECT_THAT(
        ControlsOf(IDD_VERSION),
        ::testing::ElementsAre(Control{4020, K::Edit, "00"}, Control{4022, K::Edit, "00"},
                               Control{4023, K::Edit, "00"}, Control{4024, K::Edit, "00"},
                               Control{4027, K::Edit, "0000"}, Control{1, K::Button, "OK"},
                               Control{2, K::Button, "Cancel"}, Control{-1, K::Static, "Version"},
                               Control{4021, K::Static, "."}, Control{4025, K::Static, "."},
                               Control{4026, K::Static, "."}, Control{-1, K::Static, "Build"},
                               Control{-1, K::Static, "File"}, Control{4028, K::Static, ""}));
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
