// Command 7: the next occurrence of the selected text, found by the host's
// own search and selected, so that running it again goes on from there.
#include <cstring>

#include "addin/addin.h"
#include "addin/commands.h"

namespace kelpin {

std::int32_t FindElementUsage() {
    HostWindow editor = ActiveEditor();
    // At most 4095 characters of the selection; the match selected afterwards
    // covers what was actually searched for.
    char selected[4096] = {};
    if (PlatformSendMessage(editor, HostMsgGetSelectedText, sizeof selected - 1,
                            reinterpret_cast<std::intptr_t>(selected)) <= 0)
        return 0;
    selected[sizeof selected - 1] = '\0';
    auto length = static_cast<std::int32_t>(std::strlen(selected));
    if (length == 0) return 0;
    std::intptr_t found =
        PlatformSendMessage(editor, HostMsgFindText, HostFindDown | HostFindMatchCase,
                            reinterpret_cast<std::intptr_t>(selected));
    if (found < 0) return 0;
    auto position = static_cast<std::int32_t>(found);
    MoveCaret(position, MoveCaretScroll);
    HostSelection match{position, position + length};
    PlatformSendMessage(editor, HostMsgSetSelection, 0, reinterpret_cast<std::intptr_t>(&match));
    return 1;
}

} // namespace kelpin
