// The function that holds the caret.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelpin {

// The record of the function at the caret, read by dialogs 1002 and 1003.
struct CurrentFunction {
    char declaration[512]; // empty when no function holds the caret
    char name[512];
    std::int32_t startLine; // line feeds before the body's opening brace
    std::int32_t endLine;   // 1-based line of the body's closing brace
};

// Scans text for the function whose body holds the 1-based caretLine: the
// last function starting at or above it, as long as it has not ended above
// it. Its declaration stays empty when there is none. A body that never
// closes before the end of the text holds every line after its start;
// endLine is then 0. Reentrant: everything lives in the call.
CurrentFunction FindCurrentFunction(const char* text, std::int32_t caretLine);

// The name in a declaration: the identifier right before its first "(",
// blanks between them passed over. No "(": the whole declaration. Empty when
// no identifier stands there.
std::string_view FunctionNameOf(std::string_view declaration);

} // namespace kelpin
