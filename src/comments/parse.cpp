// Reading a block back: splitting it at its labels and turning each stored
// value back into the text the user typed.
#include <algorithm>
#include <optional>

#include "comments/comments.h"
#include "comments/kind.h"
#include "resources/resource.h"

namespace kelpin {

namespace {

// A block's text split at its labels. A value runs from the character after
// its label to the first cut at or after its start: each label found while
// scanning forward cuts the text at the line feed in front of it.
class Splitter {
  public:
    explicit Splitter(std::string_view block) : block_(block) {}

    // The position of label's value when the label is found from `from`.
    std::optional<std::size_t> Find(std::string_view label, std::size_t from) const {
        std::size_t at = block_.find(label, from);
        if (at == std::string_view::npos) return std::nullopt;
        return at + BlockLabelLength;
    }
    void CutBefore(std::size_t labelStart) {
        if (labelStart > 0) cuts_.push_back(labelStart - 1);
    }
    std::string_view Value(std::size_t start) const {
        std::size_t end = block_.size();
        for (std::size_t cut : cuts_)
            if (cut >= start) end = std::min(end, cut);
        return block_.substr(start, end - start);
    }
    // Created and Modified: 24 characters, or less when the line ends first.
    std::string_view Date(std::size_t start) const {
        std::string_view value = Value(start).substr(0, BlockDateLength);
        return value.substr(0, value.find('\n'));
    }
    std::string_view Text() const { return block_; }

  private:
    std::string_view block_;
    std::vector<std::size_t> cuts_;
};

struct LabelledControl {
    const char* label;
    int control;
};

// From `scan`, finds each label in turn; a found one cuts the text before it
// and moves the scan point to its value. Then the closing line cuts the last
// value. Returns the values found, in order.
std::vector<StoredField> SplitInTurn(Splitter& split, std::size_t scan,
                                     const std::vector<LabelledControl>& labels) {
    std::vector<StoredField> fields;
    std::vector<std::pair<int, std::size_t>> found;
    for (const LabelledControl& l : labels) {
        if (auto value = split.Find(l.label, scan)) {
            split.CutBefore(*value - BlockLabelLength);
            scan = *value;
            found.emplace_back(l.control, *value);
        }
    }
    std::size_t closing = split.Text().find(BlockClosingLine, scan);
    if (closing != std::string_view::npos) split.CutBefore(closing);
    for (auto [control, start] : found)
        fields.push_back({control, split.Value(start)});
    return fields;
}

bool IsEndOfLine(std::string_view value, std::size_t i) {
    return i + 1 >= value.size() || value[i + 1] == '\n';
}

} // namespace

std::vector<StoredField> SplitFunctionBlock(std::string_view block) {
    Splitter split(block);
    // Created, Modified and Synopsys are each found from the start; the scan
    // goes on from the last of them that was found.
    auto created = split.Find(" Created  : ", 0);
    auto modified = split.Find(" Modified : ", 0);
    auto synopsis = split.Find(" Synopsys : ", 0);
    std::size_t scan = synopsis ? *synopsis : modified ? *modified : created ? *created : 0;
    std::vector<StoredField> texts = SplitInTurn(
        split, scan,
        {{" Input    : ", IDC_INPUT}, {" Output   : ", IDC_OUTPUT}, {" Errors   : ", IDC_ERRORS}});

    std::vector<StoredField> fields;
    if (created) fields.push_back({IDC_CREATED, split.Date(*created)});
    if (modified) fields.push_back({IDC_MODIFIED, split.Date(*modified)});
    if (synopsis) fields.push_back({IDC_SYNOPSIS, split.Value(*synopsis)});
    fields.insert(fields.end(), texts.begin(), texts.end());
    return fields;
}

std::vector<StoredField> SplitModuleBlock(std::string_view block) {
    Splitter split(block);
    auto created = split.Find(" Created  : ", 0);
    std::vector<StoredField> rest = SplitInTurn(split, created ? *created : 0,
                                                {{" Modified : ", IDC_MODIFIED},
                                                 {" Author   : ", IDC_AUTHOR},
                                                 {" Project  : ", IDC_PROJECT},
                                                 {" Status   : ", IDC_STATUS},
                                                 {" Abstract : ", IDC_ABSTRACT}});
    std::vector<StoredField> fields;
    if (created) fields.push_back({IDC_CREATED, split.Date(*created)});
    for (StoredField field : rest) {
        if (field.control == IDC_MODIFIED) {
            field.value = field.value.substr(0, BlockDateLength);
            field.value = field.value.substr(0, field.value.find('\n'));
        }
        fields.push_back(field);
    }
    return fields;
}

std::string StoredToFieldText(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    // Where the indent skipped after the last line feed ended: a line feed
    // right there ends a line of the user's that was empty.
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        // A carriage return before a line feed, or ending the value, belongs
        // to the line break of an editor that keeps "\r\n": the block reads
        // back as it would with bare line feeds.
        if (c == '\r' && IsEndOfLine(value, i)) continue;
        if (c != '\n') {
            text += c;
            continue;
        }
        std::size_t before = i;
        if (before > 0 && value[before - 1] == '\r') --before;
        bool emptyLine = before == lineStart;
        // A blank before the line feed marks a break the writer made inside
        // a line: the two lines join, and the blank stays between the words.
        if (emptyLine || value[before - 1] != ' ') text += "\r\n";
        // The indent: at most 12 blanks, and only blanks, so that text in a
        // block edited by hand is never dropped.
        std::size_t skipped = 0;
        while (skipped < BlockLabelLength && i + 1 < value.size() && value[i + 1] == ' ') {
            ++i;
            ++skipped;
        }
        lineStart = i + 1;
    }
    return text;
}

BlockFields ReadBlockFields(BlockKind kind, std::string_view block) {
    const BlockKindInfo& info = KindInfo(kind);
    BlockFields fields;
    for (const StoredField& field : info.split(block)) {
        std::string text = StoredToFieldText(field.value);
        if (field.control == IDC_CREATED) fields.created = std::move(text);
        if (field.control == IDC_MODIFIED) fields.modified = std::move(text);
        for (int i = 0; i < 4; ++i)
            if (field.control == info.textControls[i]) fields.texts[i] = std::move(text);
    }
    return fields;
}

} // namespace kelpin
