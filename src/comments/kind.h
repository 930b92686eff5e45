// What tells the two kinds of block apart, in one table: the words of their
// labels, how their block is searched for, and the dialog and controls that
// show their fields.
#pragma once

#include <string_view>
#include <vector>

#include "comments/comments.h"

namespace kelpin {

struct BlockKindInfo {
    const char* nameWord;       // the name line's label word, as the search matches it
    const char* nameLabel;      // the name line's label, as the writer puts it
    const char* fieldLabels[4]; // each free-text field's line break(s) and label
    unsigned locateFlags;       // LocateByLine for a function, LocateModule
    int templateId;             // dialog 1003 or 1004
    int textControls[4];        // the edit controls of the four fields, in order
    std::vector<StoredField> (*split)(std::string_view block);
};

const BlockKindInfo& KindInfo(BlockKind kind);

} // namespace kelpin
