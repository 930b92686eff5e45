// Reading the numbers back from any file contents: never a crash or a read
// past line 6, always one of the reading codes, numbers within their ranges,
// and the same answer whether lines end in CR LF or LF.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "version/version_module.h"

namespace {

struct Reading {
    int result;
    std::int32_t components[4];
    std::int32_t build;
};

Reading Read(const std::string& bytes) {
    Reading r{0, {-1, -1, -1, -1}, -1};
    kelpin::VersionNumbers numbers{{-1, -1, -1, -1}, -1};
    r.result = kelpin::ReadVersionNumbers(bytes, &numbers);
    std::copy(numbers.components, numbers.components + 4, r.components);
    r.build = numbers.build;
    return r;
}

// The characters as a text-mode reader sees them: CR LF is one LF.
std::string TextModeCharacters(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) out += bytes[i];
    return out;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Reading r = Read(bytes);
    Check(r.result == kelpin::VersionOk || r.result == kelpin::VersionBadFormat ||
          r.result == kelpin::VersionEndOfFile || r.result == kelpin::VersionLineTooLong);
    if (r.result == kelpin::VersionOk) {
        for (std::int32_t c : r.components)
            Check(c >= 0 && c <= 99);
        Check(r.build >= 0);
    } else {
        // A failed reading leaves the numbers as they were.
        for (std::int32_t c : r.components)
            Check(c == -1);
        Check(r.build == -1);
    }

    // The characters as a text-mode reader sees them, written back with every
    // line feed as CR LF, read the same.
    Reading same = Read(kelpin::DiskText(TextModeCharacters(bytes)));
    Check(same.result == r.result);
    if (r.result == kelpin::VersionOk) {
        for (int k = 0; k < 4; ++k)
            Check(same.components[k] == r.components[k]);
        Check(same.build == r.build);

        // Numbers read can be written back as a version line that reads the
        // same (a build above 9999 keeps all its digits).
        kelpin::VersionNumbers numbers{
            {r.components[0], r.components[1], r.components[2], r.components[3]}, r.build};
        Reading back = Read(kelpin::DiskText(kelpin::VersionSourceText("v", numbers)));
        Check(back.result == kelpin::VersionOk);
        for (int k = 0; k < 4; ++k)
            Check(back.components[k] == r.components[k]);
        Check(back.build == r.build);
    }
    return 0;
}
