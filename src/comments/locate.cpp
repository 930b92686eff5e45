// Finding the block of a function or module in the active editor. Only host
// messages are used: the host's own text search finds the markers, and the
// block is read back as the editor's selection.
#include <cstring>
#include <vector>

#include "addin/addin.h"
#include "comments/comments.h"

namespace kelpin {

namespace {

// The name line examines at most this many characters after the label.
constexpr std::size_t NameValueLimit = 4096;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string WithoutSpaces(std::string_view text) {
    std::string out;
    for (char c : text)
        if (!IsSpace(c)) out += c;
    return out;
}

std::int32_t Find(HostWindow editor, unsigned flags, const char* marker) {
    return static_cast<std::int32_t>(PlatformSendMessage(editor, HostMsgFindText, flags,
                                                         reinterpret_cast<std::intptr_t>(marker)));
}

void Select(HostWindow editor, std::int32_t start, std::int32_t end) {
    HostSelection selection{start, end};
    PlatformSendMessage(editor, HostMsgSetSelection, 0,
                        reinterpret_cast<std::intptr_t>(&selection));
}

// The selected text, up to its first NUL. The buffer is the smallest multiple
// of 4096 bytes that holds the selection and 3 more.
std::string SelectedText(HostWindow editor, std::int32_t length) {
    std::size_t size = (static_cast<std::size_t>(length) + 4098) & ~static_cast<std::size_t>(4095);
    std::vector<char> buffer(size, '\0');
    if (PlatformSendMessage(editor, HostMsgGetSelectedText, size - 1,
                            reinterpret_cast<std::intptr_t>(buffer.data())) == 0)
        return {};
    return std::string(buffer.data(), strnlen(buffer.data(), size));
}

// The block belongs to name when the rest of its name line, all whitespace
// taken out, is exactly a colon and the name (whitespace taken out too).
bool NameMatches(std::string_view block, const char* label, const char* name) {
    std::size_t at = block.find(label);
    if (at == std::string_view::npos) return false;
    std::string_view line = block.substr(at + std::strlen(label), NameValueLimit);
    line = line.substr(0, line.find('\n'));
    std::string value = WithoutSpaces(line);
    return !value.empty() && value[0] == ':' &&
           value.compare(1, std::string::npos, WithoutSpaces(name)) == 0;
}

} // namespace

std::int32_t LocateCommentBlock(const char* label, const char* name, std::int32_t position,
                                unsigned flags, std::string* blockText) {
    blockText->clear();
    bool module = (flags & LocateModule) != 0;
    MoveCaret(position, MoveCaretScroll | ((flags & LocateByLine) ? MoveCaretLine : 0u));
    HostWindow editor = ActiveEditor();

    std::int32_t endMarker = Find(
        editor, module ? (HostFindMatchCase | HostFindDown) : HostFindMatchCase, BlockEndMarker);
    if (endMarker < 0) return -1;
    std::int32_t afterMarker = endMarker + static_cast<std::int32_t>(BlockMarkerLength);
    if (module) MoveCaret(afterMarker, MoveCaretScroll);

    std::int32_t start = Find(editor, HostFindMatchCase, BlockStartMarker);
    // A start marker below the end marker belongs to a block whose end was
    // deleted by hand: there is no block to take.
    if (start < 0 || start > endMarker) return -1;

    // The block takes the line break after its end marker (a line feed, or a
    // carriage return and line feed) and nothing else: what a hand edit put
    // right after the marker is not part of the block and must survive OK.
    Select(editor, start, afterMarker + 2);
    std::string text = SelectedText(editor, afterMarker + 2 - start);
    std::size_t end = static_cast<std::size_t>(afterMarker - start);
    if (text.size() < end) return -1; // a NUL inside: not a block this reader can take
    if (text.compare(end, 1, "\n") == 0)
        end += 1;
    else if (text.compare(end, 2, "\r\n") == 0)
        end += 2;
    text.resize(end);
    Select(editor, start, start + static_cast<std::int32_t>(end));

    if (!NameMatches(text, label, name)) return -1;
    *blockText = std::move(text);
    return start;
}

} // namespace kelpin
