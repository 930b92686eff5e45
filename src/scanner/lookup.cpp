// The current-function lookup.
#include "scanner/lookup.h"

#include <algorithm>
#include <cstring>

#include "addin/addin.h"
#include "scanner/scanner.h"

namespace kelpin {

namespace {

// The whole declaration of the function kept by the begin handler: the record
// holds only its first 511 characters, while the name is looked for in all of
// it, so a "(" further on is still found.
char fullDeclaration[4096];

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Copies at most size - 1 characters and a zero byte.
void CopyCut(char* to, std::size_t size, std::string_view from) {
    std::size_t n = std::min(from.size(), size - 1);
    if (n > 0) std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

void Forget() {
    std::memset(addInState.currentFunction.declaration, 0,
                sizeof addInState.currentFunction.declaration);
    fullDeclaration[0] = '\0';
}

} // namespace

std::string_view FunctionNameOf(std::string_view declaration) {
    std::size_t open = declaration.find('(');
    if (open == std::string_view::npos) return declaration;
    if (open == 0) return {};
    std::size_t last = open - 1;
    while (last > 0 && IsBlank(declaration[last]))
        --last;
    if (!IsIdentifierChar(declaration[last])) return {};
    std::size_t first = last;
    while (first > 0 && IsIdentifierChar(declaration[first - 1]))
        --first;
    return declaration.substr(first, last - first + 1);
}

void NoteFunctionBegin(std::int32_t line, const char* declaration, void*) {
    CurrentFunction& f = addInState.currentFunction;
    if (line <= addInState.caretLine) {
        f.startLine = line;
        // Until its closing brace is met, the body has no end.
        f.endLine = 0;
        CopyCut(f.declaration, sizeof f.declaration, declaration);
        CopyCut(fullDeclaration, sizeof fullDeclaration, declaration);
    } else {
        f.startLine = 0;
        Forget();
    }
}

int NoteFunctionEnd(std::int32_t line, void*) {
    if (line > addInState.caretLine) {
        addInState.currentFunction.endLine = line;
        return 0;
    }
    Forget();
    return 1;
}

void ExtractFunctionName() {
    CurrentFunction& f = addInState.currentFunction;
    std::string_view full = f.declaration[0] != '\0' ? fullDeclaration : "";
    CopyCut(f.name, sizeof f.name, FunctionNameOf(full));
}

void FindCurrentFunction(const char* text) {
    fullDeclaration[0] = '\0';
    ScanFunctions(text, NoteFunctionBegin, NoteFunctionEnd, nullptr);
    ExtractFunctionName();
}

} // namespace kelpin
