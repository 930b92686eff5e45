// The prototype listing: a header text for a source file, built from what
// the scanner reports, between the guard lines named after the file.
#include <string>

#include "navigation/navigation.h"
#include "scanner/scanner.h"

namespace kelpin {

namespace {

// The scanner's begin handler: one prototype line per function. A line is
// never cut, however long the declaration the scanner collected.
void ListPrototype(std::int32_t, const char* declaration, void* context) {
    std::string& listing = *static_cast<std::string*>(context);
    listing += declaration;
    listing += ";\r\n";
}

} // namespace

std::string GuardName(const char* documentPath) {
    std::string path = documentPath;
    for (char& c : path)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos) return "foo";
    path.resize(dot);
    std::string::size_type slash = path.rfind('\\');
    if (slash == std::string::npos) return "foo";
    return path.substr(slash + 1);
}

std::string IdentifierGuardName(const char* documentPath) {
    std::string guard = GuardName(documentPath);
    for (char& c : guard)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) c = '_';
    return guard;
}

std::string PrototypeHeaderOpening(std::string_view guard, std::string_view lineEnd) {
    std::string text;
    (((text += "#ifndef __") += guard) += "_H__") += lineEnd;
    (((text += "#define __") += guard) += "_H__") += lineEnd;
    return text += lineEnd;
}

std::string PrototypeHeaderClosing(std::string_view guard, std::string_view lineEnd) {
    std::string text(lineEnd);
    return (((text += "#endif\t// ") += guard) += "_H__") += lineEnd;
}

std::string PrototypeListing(const char* text, const char* documentPath) {
    std::string guard = GuardName(documentPath);
    std::string listing = PrototypeHeaderOpening(guard, "\r\n");
    ScanFunctions(text, ListPrototype, nullptr, &listing);
    return listing += PrototypeHeaderClosing(guard, "\r\n");
}

} // namespace kelpin
