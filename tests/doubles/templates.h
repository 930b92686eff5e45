// The dialog templates as the headless user interface shows them: each
// control's id, kind and initial text, in template (tab) order. They are
// generated from resources/kelpin.rc, which the real DLL uses.
#pragma once

#include <vector>

namespace kelpin::headless {

enum class ControlKind { Edit, Button, CheckBox, Static, GroupBox };

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
};

struct DialogTemplate {
    int id;
    const char* caption;
    std::vector<ControlTemplate> controls;
};

// The template with this resource id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);
const std::vector<DialogTemplate>& DialogTemplates();

} // namespace kelpin::headless
