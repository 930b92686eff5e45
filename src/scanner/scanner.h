// The function scanner: one pass over C source text that reports every
// function definition at its opening and closing brace.
#pragma once

#include <cstdint>

namespace kelpin {

// At a body's opening brace: the number of line feeds before it and the
// declaration collected before it (valid during the call only).
using FunctionBeginHandler = void (*)(std::int32_t line, const char* declaration, void* context);
// At the body's closing brace: its 1-based line. Returning 0 stops the scan.
using FunctionEndHandler = int (*)(std::int32_t line, void* context);

// Scans the NUL-terminated text. endHandler may be null. Always returns 0.
int ScanFunctions(const char* text, FunctionBeginHandler beginHandler,
                  FunctionEndHandler endHandler, void* context);

} // namespace kelpin
