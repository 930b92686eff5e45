// Dialog 1002: the function at the caret, with buttons that end the dialog
// with the line to go to.
#include "navigation/navigation.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// The dialog's record is the function it was opened on.
const CurrentFunction& Shown(HostWindow dialog) {
    return *reinterpret_cast<const CurrentFunction*>(UiDialogParam(dialog));
}

std::intptr_t FunctionDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    switch (message) {
    case UiMsgInitDialog: {
        const auto& function = *reinterpret_cast<const CurrentFunction*>(lParam);
        UiSetItemText(dialog, IDC_DECLARATION, function.declaration);
        UiSetCaption(dialog, function.name);
        return 1;
    }
    case UiMsgCommand:
        // A start line of 0 (a brace on the first line) ends the dialog like
        // Close: the caller moves the caret only for a line above 0.
        switch (UiLowWord(wParam)) {
        case IDC_GOTO_START: UiEndDialog(dialog, Shown(dialog).startLine); return 1;
        case IDC_GOTO_END: UiEndDialog(dialog, Shown(dialog).endLine); return 1;
        case UiIdCancel: UiEndDialog(dialog, 0); return 1;
        default: return 0;
        }
    default: return EndOnClose(dialog, message);
    }
}

} // namespace

std::intptr_t EndOnClose(HostWindow dialog, unsigned message) {
    switch (message) {
    case UiMsgClose: UiEndDialog(dialog, 0); return 1;
    case UiMsgSize: return 1;
    default: return 0;
    }
}

std::int32_t ShowFunctionDialog(const AddInHost& host, const CurrentFunction& function) {
    return ShowDialog(host, IDD_FUNCTION, FunctionDialog, &function);
}

} // namespace kelpin
