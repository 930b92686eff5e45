// Writing a block: the date text, the wrapping of free text and the two
// builders.
#include <algorithm>
#include <cstdio>

#include "comments/comments.h"
#include "comments/kind.h"

namespace kelpin {

namespace {

constexpr const char* DayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Whitespace where a line may be broken. A line feed is not among them: it
// is always the user's own line break.
bool IsBreakSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool IsTrailing(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

// A closing "*/" typed into a field would end the block's comment in the
// middle of the block and break the file.
std::string DefuseCommentEnd(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '*' && i + 1 < text.size() && text[i + 1] == '/') out += ' ';
    }
    return out;
}

} // namespace

std::string FormatBlockDate(const std::tm& time) {
    // Every field is brought into range first, so the text is always 24
    // characters long, even for a broken-down time that no clock gives.
    auto clamp = [](int value, int low, int high) { return std::clamp(value, low, high); };
    int year = clamp(time.tm_year + 1900, 0, 9999);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %04d",
                  DayNames[clamp(time.tm_wday, 0, 6)], MonthNames[clamp(time.tm_mon, 0, 11)],
                  clamp(time.tm_mday, 1, 31), clamp(time.tm_hour, 0, 23), clamp(time.tm_min, 0, 59),
                  clamp(time.tm_sec, 0, 60), year);
    return std::string(text, BlockDateLength);
}

std::string FormatBlockDate() {
    std::tm now{};
    if (!ClockLocalNow(&now)) {
        // No clock: the start of the epoch rather than a garbage date.
        now = std::tm{};
        now.tm_year = 70;
        now.tm_mday = 1;
        now.tm_wday = 4;
    }
    return FormatBlockDate(now);
}

void WrapFieldText(std::string& block, std::string_view field) {
    std::string defused = DefuseCommentEnd(field);
    std::string_view rest = defused;
    while (!rest.empty() && IsTrailing(rest.back()))
        rest.remove_suffix(1);

    while (!rest.empty()) {
        std::size_t window = std::min(rest.size(), BlockWrapWidth);
        std::size_t lineFeed = rest.substr(0, window).find('\n');
        std::size_t next = 0; // where the remaining text starts after this line

        if (lineFeed != std::string_view::npos) {
            // The user's line break: its carriage return is dropped, a bare
            // line feed drops nothing.
            std::size_t end =
                (lineFeed > 0 && rest[lineFeed - 1] == '\r') ? lineFeed - 1 : lineFeed;
            block.append(rest.substr(0, end));
            next = lineFeed + 1;
        } else if (rest.size() < BlockWrapWidth) {
            block.append(rest);
            return;
        } else {
            // The last break space within the 64 columns; without one (a long
            // word, path or address) the first break space or line feed after
            // them, so that a word is never split.
            std::size_t at = window;
            while (at > 0 && !IsBreakSpace(rest[at - 1]))
                --at;
            std::size_t breakAt;
            if (at > 0) {
                breakAt = at - 1;
            } else {
                breakAt = window;
                while (breakAt < rest.size() && !IsBreakSpace(rest[breakAt]) &&
                       rest[breakAt] != '\n')
                    ++breakAt;
                if (breakAt == rest.size()) {
                    block.append(rest);
                    return;
                }
            }
            char c = rest[breakAt];
            bool pairFollows = rest.substr(breakAt + 1).starts_with("\r\n");
            if (c == '\n') {
                // A bare line feed after a long word: the user's break.
                block.append(rest.substr(0, breakAt));
                next = breakAt + 1;
            } else if (c == '\r' && breakAt + 1 < rest.size() && rest[breakAt + 1] == '\n') {
                // The break point is the user's own line break: no carriage
                // return reaches the block and nothing is lost.
                block.append(rest.substr(0, breakAt));
                next = breakAt + 2;
            } else if (c != ' ' && pairFollows) {
                // A tab (or the like) right before the user's line break: the
                // break takes the pair with it, or the pair would leave a line
                // holding the indent alone, read back as one more empty line.
                block.append(rest.substr(0, breakAt + 1));
                next = breakAt + 3;
            } else {
                block.append(rest.substr(0, breakAt + 1));
                next = breakAt + 1;
            }
        }
        // Every broken line ends in a line feed, even one broken on the
        // text's last character (a tab): only what follows gets the indent.
        block += '\n';
        rest.remove_prefix(next);
        if (!rest.empty()) block.append(BlockLabelLength, ' ');
    }
}

std::string BuildCommentBlock(BlockKind kind, std::string_view name, std::string_view created,
                              std::string_view now, const std::string_view (&texts)[4]) {
    const BlockKindInfo& info = KindInfo(kind);
    std::string block;
    block.reserve(512);
    block += BlockHeaderLine;
    block += '\n';
    block += info.nameLabel;
    block += name;
    block += "\n Created  : ";
    block += created.empty() ? now : created;
    block += "\n Modified : ";
    block += now;
    for (int i = 0; i < 4; ++i) {
        block += info.fieldLabels[i];
        WrapFieldText(block, texts[i]);
    }
    block += '\n';
    block += BlockClosingLine;
    block += '\n';
    return block;
}

std::string BuildFunctionBlock(std::string_view name, std::string_view created,
                               std::string_view synopsis, std::string_view input,
                               std::string_view output, std::string_view errors) {
    return BuildCommentBlock(BlockKind::Function, name, created, FormatBlockDate(),
                             {synopsis, input, output, errors});
}

std::string BuildModuleBlock(std::string_view name, std::string_view created,
                             std::string_view author, std::string_view project,
                             std::string_view status, std::string_view abstract) {
    return BuildCommentBlock(BlockKind::Module, name, created, FormatBlockDate(),
                             {author, project, status, abstract});
}

} // namespace kelpin
