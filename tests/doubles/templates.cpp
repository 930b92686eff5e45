#include "doubles/templates.h"

#include "resources/resource.h"

namespace kelpin::headless {

const std::vector<DialogTemplate>& DialogTemplates() {
    static const std::vector<DialogTemplate> templates = {
// Written at build time from resources/kelpin.rc, the script the DLL's own
// dialogs come from.
#include "dialog_templates.inc"
    };
    return templates;
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : DialogTemplates())
        if (t.id == id) return &t;
    return nullptr;
}

} // namespace kelpin::headless
