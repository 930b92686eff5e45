#include "comments/kind.h"

#include "resources/resource.h"

namespace kelpin {

namespace {

// One row a kind: the name line's label word and label, the fields' labels,
// how the block is searched for, the dialog and its four edit controls, and
// how a block is split into its fields.
// clang-format off
constexpr BlockKindInfo Kinds[] = {
    {"Procedure", " Procedure: ",
     {"\n\n Synopsys : ", "\n Input    : ", "\n Output   : ", "\n Errors   : "},
     LocateByLine, IDD_FUNCTION_COMMENT, {IDC_SYNOPSIS, IDC_INPUT, IDC_OUTPUT, IDC_ERRORS},
     SplitFunctionBlock},
    {"Module", " Module   : ",
     {"\n\n Author   : ", "\n Project  : ", "\n Status   : ", "\n Abstract : "},
     LocateModule, IDD_MODULE_COMMENT, {IDC_AUTHOR, IDC_PROJECT, IDC_STATUS, IDC_ABSTRACT},
     SplitModuleBlock},
};
// clang-format on

} // namespace

const BlockKindInfo& KindInfo(BlockKind kind) {
    return Kinds[kind == BlockKind::Function ? 0 : 1];
}

} // namespace kelpin
