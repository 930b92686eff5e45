// Dialog 1002: the function at the caret, with buttons that end the dialog
// with the line to go to.
#include "addin/addin.h"
#include "addin/commands.h"
#include "resources/resource.h"

namespace kelpin {

namespace {
// The record the dialog was opened on; read while it is open.
const CurrentFunction* shownFunction;
} // namespace

std::intptr_t FunctionDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    switch (message) {
    case UiMsgInitDialog:
        shownFunction = reinterpret_cast<const CurrentFunction*>(lParam);
        UiSetItemText(dialog, IDC_DECLARATION, shownFunction->declaration);
        UiSetCaption(dialog, shownFunction->name);
        return 1;
    case UiMsgCommand:
        // A start line of 0 (a brace on the first line) ends the dialog like
        // Close: the caller moves the caret only for a line above 0.
        switch (UiLowWord(wParam)) {
        case IDC_GOTO_START: UiEndDialog(dialog, shownFunction->startLine); return 1;
        case IDC_GOTO_END: UiEndDialog(dialog, shownFunction->endLine); return 1;
        case UiIdCancel: UiEndDialog(dialog, 0); return 1;
        default: return 0;
        }
    case UiMsgClose: UiEndDialog(dialog, 0); return 1;
    case UiMsgSize: return 1;
    default: return 0;
    }
}

} // namespace kelpin
