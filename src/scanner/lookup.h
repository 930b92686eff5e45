// The function that holds the caret.
#pragma once

#include <cstdint>

namespace kelpin {

// The record of the function at the caret, read by dialogs 1002 and 1003.
struct CurrentFunction {
    char declaration[512]; // empty when no function holds the caret
    char name[512];
    std::int32_t startLine; // line feeds before the body's opening brace
    std::int32_t endLine;   // 1-based line of the body's closing brace
};

// Scans text for the function whose body holds addInState.caretLine and fills
// addInState.currentFunction; its declaration stays empty when there is none.
void FindCurrentFunction(const char* text);

} // namespace kelpin
