// The current-function lookup.
#include "scanner/lookup.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "scanner/chars.h"
#include "scanner/scanner.h"

namespace kelpin {

namespace {

// What one lookup keeps while the scan runs.
struct Lookup {
    std::int32_t caretLine;
    CurrentFunction found;
    // The whole declaration of the function kept: the record holds only its
    // first 511 characters, while the name is looked for in all of it, so a
    // "(" further on is still found.
    std::string fullDeclaration;
};

// Copies at most size - 1 characters and a zero byte.
void CopyCut(char* to, std::size_t size, std::string_view from) {
    std::size_t n = std::min(from.size(), size - 1);
    if (n > 0) std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

void Forget(Lookup& lookup) {
    std::memset(lookup.found.declaration, 0, sizeof lookup.found.declaration);
    lookup.fullDeclaration.clear();
}

// The begin handler keeps the last function starting at or above the caret
// line; one starting below it means the caret is in no function.
void NoteFunctionBegin(std::int32_t line, const char* declaration, void* context) {
    Lookup& lookup = *static_cast<Lookup*>(context);
    CurrentFunction& f = lookup.found;
    if (line <= lookup.caretLine) {
        f.startLine = line;
        // Until its closing brace is met, the body has no end.
        f.endLine = 0;
        CopyCut(f.declaration, sizeof f.declaration, declaration);
        lookup.fullDeclaration = declaration;
    } else {
        f.startLine = 0;
        Forget(lookup);
    }
}

// The end handler stops the scan at the first function ending below the
// caret line.
int NoteFunctionEnd(std::int32_t line, void* context) {
    Lookup& lookup = *static_cast<Lookup*>(context);
    if (line > lookup.caretLine) {
        lookup.found.endLine = line;
        return 0;
    }
    Forget(lookup);
    return 1;
}

} // namespace

std::string_view FunctionNameOf(std::string_view declaration) {
    std::size_t open = declaration.find('(');
    if (open == std::string_view::npos) return declaration;
    if (open == 0) return {};
    std::size_t last = open - 1;
    while (last > 0 && IsWhitespace(declaration[last]))
        --last;
    if (!IsIdentifierChar(declaration[last])) return {};
    std::size_t first = last;
    while (first > 0 && IsIdentifierChar(declaration[first - 1]))
        --first;
    return declaration.substr(first, last - first + 1);
}

CurrentFunction FindCurrentFunction(const char* text, std::int32_t caretLine) {
    Lookup lookup{caretLine, {}, {}};
    ScanFunctions(text, NoteFunctionBegin, NoteFunctionEnd, &lookup);
    CurrentFunction& f = lookup.found;
    std::string_view full;
    if (f.declaration[0] != '\0') full = lookup.fullDeclaration;
    CopyCut(f.name, sizeof f.name, FunctionNameOf(full));
    return f;
}

} // namespace kelpin
