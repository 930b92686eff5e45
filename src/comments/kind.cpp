#include "comments/kind.h"

#include "resources/resource.h"

namespace kelpin {

namespace {

constexpr BlockKindInfo FunctionKind = {
    "Procedure",
    " Procedure: ",
    {"\n\n Synopsys : ", "\n Input    : ", "\n Output   : ", "\n Errors   : "},
    LocateByLine,
    IDD_FUNCTION_COMMENT,
    {IDC_SYNOPSIS, IDC_INPUT, IDC_OUTPUT, IDC_ERRORS},
    SplitFunctionBlock,
};

constexpr BlockKindInfo ModuleKind = {
    "Module",
    " Module   : ",
    {"\n\n Author   : ", "\n Project  : ", "\n Status   : ", "\n Abstract : "},
    LocateModule,
    IDD_MODULE_COMMENT,
    {IDC_AUTHOR, IDC_PROJECT, IDC_STATUS, IDC_ABSTRACT},
    SplitModuleBlock,
};

} // namespace

const BlockKindInfo& KindInfo(BlockKind kind) {
    return kind == BlockKind::Function ? FunctionKind : ModuleKind;
}

} // namespace kelpin
