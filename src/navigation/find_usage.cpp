// Command 7: the next occurrence of the selected text, found by the host's
// own search and selected, so that running it again goes on from there.
#include "navigation/navigation.h"

namespace kelpin {

std::int32_t FindElementUsage(HostWindow main) {
    HostWindow editor = ActiveEditor(main);
    // At most 4095 characters of the selection; the match selected afterwards
    // covers what was actually searched for.
    std::string selected;
    if (EditorSelectedText(editor, 4096, &selected) <= 0 || selected.empty()) return 0;
    auto length = static_cast<std::int32_t>(selected.size());
    std::intptr_t found =
        PlatformSendMessage(editor, HostMsgFindText, HostFindDown | HostFindMatchCase,
                            reinterpret_cast<std::intptr_t>(selected.c_str()));
    if (found < 0) return 0;
    auto position = static_cast<std::int32_t>(found);
    MoveCaret(main, position, MoveCaretScroll);
    SetEditorSelection(editor, position, position + length);
    return 1;
}

} // namespace kelpin
