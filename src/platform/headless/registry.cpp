// The headless registry: keys and values in memory, kept in a file for the
// CLI.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/headless/state.h"

namespace kelpin::headless {

namespace {

// One value a line: key, name, type and the data in hex, separated by tabs.
std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Unhex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2) return false;
    bytes->clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        char* end = nullptr;
        long value = std::strtol(pair, &end, 16);
        if (*end) return false;
        bytes->push_back(static_cast<char>(value));
    }
    return true;
}

void SaveRegistry() {
    if (S().registryFile.empty()) return;
    std::string out;
    for (const auto& [key, values] : S().registry) {
        if (values.empty()) out += key + "\n";
        for (const auto& [name, value] : values)
            out += key + "\t" + name + "\t" + std::to_string(value.type) + "\t" + Hex(value.data) +
                   "\n";
    }
    // A failure leaves the previous file; the settings are then only in memory.
    FileReplace(S().registryFile.c_str(), out);
}

} // namespace

std::map<std::string, RegistryKeyValues>& Registry() {
    return S().registry;
}

bool UseRegistryFile(const std::string& path) {
    S().registryFile = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        struct stat st;
        return ::stat(path.c_str(), &st) != 0; // missing: an empty registry
    }
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, name, type, hex;
        if (!std::getline(fields, key, '\t')) continue;
        RegistryKeyValues& values = S().registry[key];
        if (!std::getline(fields, name, '\t') || !std::getline(fields, type, '\t')) continue;
        std::getline(fields, hex);
        RegistryValue value{static_cast<unsigned>(std::strtoul(type.c_str(), nullptr, 10)), {}};
        if (Unhex(hex, &value.data)) values[name] = value;
    }
    return true;
}

std::vector<std::string>& RegistryWrites() {
    return S().registryWrites;
}

void FailRegistryCreate(long errorCode) {
    S().failRegistryCreate = errorCode;
}

} // namespace kelpin::headless

namespace kelpin {

using namespace headless;

long RegistryOpenKey(const char* subkey, RegKey* key) {
    if (!S().registry.count(subkey)) return 2; // ERROR_FILE_NOT_FOUND
    *key = S().nextKey++;
    S().openKeys[*key] = subkey;
    return 0;
}

long RegistryCreateKey(const char* subkey, RegKey* key) {
    if (S().failRegistryCreate) return S().failRegistryCreate;
    S().registry[subkey];
    SaveRegistry();
    *key = S().nextKey++;
    S().openKeys[*key] = subkey;
    return 0;
}

long RegistryQueryValue(RegKey key, const char* name, unsigned* type, void* data, unsigned* size) {
    auto open = S().openKeys.find(key);
    if (open == S().openKeys.end()) return 6; // ERROR_INVALID_HANDLE
    const RegistryKeyValues& values = S().registry[open->second];
    auto it = values.find(name);
    if (it == values.end()) return 2;
    const RegistryValue& value = it->second;
    if (type) *type = value.type;
    if (value.data.size() > *size) {
        *size = static_cast<unsigned>(value.data.size());
        return 234; // ERROR_MORE_DATA
    }
    std::memcpy(data, value.data.data(), value.data.size());
    *size = static_cast<unsigned>(value.data.size());
    return 0;
}

long RegistrySetValue(RegKey key, const char* name, unsigned type, const void* data,
                      unsigned size) {
    auto open = S().openKeys.find(key);
    if (open == S().openKeys.end()) return 6;
    S().registryWrites.push_back(name);
    S().registry[open->second][name] =
        RegistryValue{type, std::string(static_cast<const char*>(data), size)};
    SaveRegistry();
    return 0;
}

void RegistryCloseKey(RegKey key) {
    S().openKeys.erase(key);
}

} // namespace kelpin
