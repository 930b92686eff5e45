// The function comment dialog (1003) and the module comment dialog (1004).
//
// Each looks for the block that already belongs to its function or module and
// leaves it selected in the editor, so that OK replaces it; without one it
// leaves an empty selection where a new block goes. OK and Cancel both put the
// editor's selection back as it was when the dialog opened.
#include <string>

#include "addin/addin.h"
#include "addin/commands.h"
#include "comments/comments.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// What one open comment dialog keeps. Only one dialog is open at a time, but
// each has its own, as each could be reached on its own.
struct CommentDialogState {
    HostWindow editor;
    HostSelection savedSelection;
    std::string blockText; // the located block, until the parse consumes it
    const void* source;    // the CurrentFunction or the HostDocumentInfo
};

CommentDialogState functionDialog;
CommentDialogState moduleDialog;

void SetSelection(HostWindow editor, std::int32_t start, std::int32_t end) {
    HostSelection selection{start, end};
    PlatformSendMessage(editor, HostMsgSetSelection, 0,
                        reinterpret_cast<std::intptr_t>(&selection));
}

std::int32_t LineIndex(HostWindow editor, std::int32_t line) {
    return static_cast<std::int32_t>(
        PlatformSendMessage(editor, HostMsgLineIndex, static_cast<std::uintptr_t>(line), 0));
}

// Whether the 0-based line of the editor starts, blanks and tabs aside, with
// the opening brace: then the header stands on the line above.
bool BraceStandsAlone(HostWindow editor, std::int32_t line) {
    std::int32_t start = LineIndex(editor, line);
    if (start < 0) return false;
    std::int32_t end = LineIndex(editor, line + 1);
    if (end < start)
        end = static_cast<std::int32_t>(PlatformSendMessage(editor, HostMsgGetTextLength, 0, 0));
    if (end <= start) return false;
    SetSelection(editor, start, end);
    std::string text(static_cast<std::size_t>(end - start) + 1, '\0');
    if (PlatformSendMessage(editor, HostMsgGetSelectedText, text.size() - 1,
                            reinterpret_cast<std::intptr_t>(text.data())) == 0)
        return false;
    std::size_t first = text.find_first_not_of(" \t");
    return first != std::string::npos && text[first] == '{';
}

// The 0-based line where a function's block is looked for (upward from its
// start) and inserted: the header's line when the brace stands alone below
// it, else the brace's own line, which then is the header's last line. A
// block inserted in front of the line above such a header would land inside
// a comment ending there, or inside the previous function.
std::int32_t FunctionBlockLine(HostWindow editor, std::int32_t startLine) {
    if (startLine <= 0) return 0;
    return BraceStandsAlone(editor, startLine) ? startLine - 1 : startLine;
}

std::intptr_t Close(HostWindow dialog, CommentDialogState& state) {
    state.blockText.clear();
    state.blockText.shrink_to_fit();
    SetSelection(state.editor, state.savedSelection.start, state.savedSelection.end);
    PlatformSendMessage(state.editor, HostMsgScrollCaret, 0, 0);
    UiEndDialog(dialog, -1);
    return 1;
}

// Opens the state on the active editor and saves its selection. False when
// there is no editor to work on.
bool Open(CommentDialogState& state, std::intptr_t param) {
    state = CommentDialogState{};
    state.source = reinterpret_cast<const void*>(param);
    state.editor = ActiveEditor();
    if (state.editor == 0) return false;
    PlatformSendMessage(state.editor, HostMsgGetSelection, 0,
                        reinterpret_cast<std::intptr_t>(&state.savedSelection));
    return state.source != nullptr;
}

std::string ItemText(HostWindow dialog, int id) {
    char buffer[FieldBufferSize];
    unsigned n = UiGetItemText(dialog, id, buffer, FieldBufferSize);
    return std::string(buffer, n);
}

void InitFunctionDialog(HostWindow dialog) {
    CommentDialogState& state = functionDialog;
    const auto& function = *static_cast<const CurrentFunction*>(state.source);
    UiSetItemText(dialog, IDC_DECLARATION, function.declaration);
    UiSetCaption(dialog, function.name);
    std::int32_t line = FunctionBlockLine(state.editor, function.startLine);
    if (LocateCommentBlock("Procedure", function.name, line, LocateByLine, &state.blockText) >= 0) {
        ParseFunctionBlock(dialog, std::move(state.blockText));
        state.blockText.clear();
        return;
    }
    std::int32_t at = LineIndex(state.editor, line);
    SetSelection(state.editor, at, at);
}

void InitModuleDialog(HostWindow dialog) {
    CommentDialogState& state = moduleDialog;
    const auto& document = *static_cast<const HostDocumentInfo*>(state.source);
    UiSetCaption(dialog, document.path);
    if (LocateCommentBlock("Module", document.path, 0, LocateModule, &state.blockText) >= 0) {
        ParseModuleBlock(dialog, std::move(state.blockText));
        state.blockText.clear();
        return;
    }
    SetSelection(state.editor, 0, 0);
}

void Replace(HostWindow editor, const std::string& block) {
    PlatformSendMessage(editor, HostMsgReplaceSelection, 0,
                        reinterpret_cast<std::intptr_t>(block.c_str()));
}

} // namespace

std::intptr_t FunctionCommentDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    CommentDialogState& state = functionDialog;
    switch (message) {
    case UiMsgInitDialog:
        if (!Open(state, lParam)) return Close(dialog, state);
        InitFunctionDialog(dialog);
        return 1;
    case UiMsgSize: return 1;
    case UiMsgCommand:
        if (UiLowWord(wParam) == UiIdOk) {
            const auto& function = *static_cast<const CurrentFunction*>(state.source);
            Replace(state.editor,
                    BuildFunctionBlock(function.name, ItemText(dialog, IDC_CREATED),
                                       ItemText(dialog, IDC_SYNOPSIS), ItemText(dialog, IDC_INPUT),
                                       ItemText(dialog, IDC_OUTPUT), ItemText(dialog, IDC_ERRORS)));
            return Close(dialog, state);
        }
        if (UiLowWord(wParam) == UiIdCancel) return Close(dialog, state);
        return 0;
    default: return 0;
    }
}

std::intptr_t ModuleCommentDialog(HostWindow dialog, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    CommentDialogState& state = moduleDialog;
    switch (message) {
    case UiMsgInitDialog:
        if (!Open(state, lParam)) return Close(dialog, state);
        InitModuleDialog(dialog);
        return 1;
    case UiMsgSize: return 1;
    case UiMsgCommand:
        if (UiLowWord(wParam) == UiIdOk) {
            const auto& document = *static_cast<const HostDocumentInfo*>(state.source);
            Replace(state.editor,
                    BuildModuleBlock(document.path, ItemText(dialog, IDC_CREATED),
                                     ItemText(dialog, IDC_AUTHOR), ItemText(dialog, IDC_PROJECT),
                                     ItemText(dialog, IDC_STATUS), ItemText(dialog, IDC_ABSTRACT)));
            return Close(dialog, state);
        }
        if (UiLowWord(wParam) == UiIdCancel) return Close(dialog, state);
        return 0;
    default: return 0;
    }
}

} // namespace kelpin
