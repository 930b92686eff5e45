// The version module's next number: read, incremented and rewritten, the
// header made when it is missing, each step told as a line.
#include <cerrno>
#include <cstdio>
#include <string>

#include "version/version.h"

namespace kelpin {

namespace {

// Pane lines are formatted in a buffer of this size; a longer line is cut.
constexpr int OutputLineSize = 2048;

struct Emitter {
    VersionLineSink sink;
    void* context;

    void Line(const char* text) const { sink(text, context); }
    void ModuleLine(const char* format, const char* name) const {
        char line[OutputLineSize];
        std::snprintf(line, sizeof line, format, name);
        Line(line);
    }
};

// A failed step: the code, the file it concerns and, for a file that cannot
// be read or written, the reason the platform left in errno.
VersionStepResult Failed(int code, VersionFile file, bool created) {
    return {code, created, file, code == VersionCannotCreate ? errno : 0};
}

VersionStepResult Update(const VersionModuleNames& module, const Emitter& out) {
    const char* name = module.path.c_str();
    constexpr VersionFile Source = VersionFile::Source, Header = VersionFile::Header;
    bool created = false;
    out.Line(nullptr);
    out.ModuleLine("Creating version source file \"%s.c\"", name);

    // A missing source file is created with the placeholder numbers and read
    // like any other.
    std::string source;
    if (!ReadVersionFile(name, Source, &source)) {
        if (!WriteVersionFile(name, Source, PlaceholderSourceText(module.include)))
            return Failed(VersionCannotCreate, Source, false);
        created = true;
        if (!ReadVersionFile(name, Source, &source))
            return Failed(VersionCannotCreate, Source, true);
    }
    VersionNumbers numbers{};
    if (int read = ReadVersionNumbers(source, &numbers); read != VersionOk)
        return Failed(read, Source, created);
    // On overflow nothing is written: the source keeps its old numbers.
    if (IncrementVersion(&numbers) != VersionOk) return Failed(VersionOverflow, Source, created);
    if (!WriteVersionFile(name, Source, VersionSourceText(module.include, numbers)))
        return Failed(VersionCannotCreate, Source, created);

    // An existing header is never rewritten, whatever it holds; one that
    // cannot be made fails before it is announced.
    std::string header;
    if (!ReadVersionFile(name, Header, &header)) {
        if (!CanWriteVersionFile(name, Header)) return Failed(VersionCannotCreate, Header, created);
        out.ModuleLine("Creating version header file \"%s.h\"", name);
        if (!WriteVersionFile(name, Header, VersionHeaderText(module.guard)))
            return Failed(VersionCannotCreate, Header, created);
    }

    // The add-in's own build time and date, time first: not the project's.
    char line[OutputLineSize];
    std::snprintf(line, sizeof line,
                  "VersionString[] = \"Ver %02d.%02d.%02d.%02d - Build %04d\"; - %s, %s",
                  numbers.components[0], numbers.components[1], numbers.components[2],
                  numbers.components[3], numbers.build, AddInBuildTime, AddInBuildDate);
    out.Line(line);
    return {VersionOk, created, Source, 0};
}

} // namespace

VersionStepResult UpdateVersionModule(const VersionModuleNames& module, VersionLineSink sink,
                                      void* context) {
    // Builds run in parallel (another IDE, a script, make -j): the module is
    // read, incremented and rewritten by one of them at a time, so that every
    // build counts.
    FolderLockScope lock(VersionFilePath(module.path.c_str(), VersionFile::Source).c_str());
    return Update(module, Emitter{sink, context});
}

VersionStepResult UpdateVersionModule(const char* name, VersionLineSink sink, void* context) {
    return UpdateVersionModule(AddInModuleNames(name), sink, context);
}

} // namespace kelpin
