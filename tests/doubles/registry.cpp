// The fake registry: keys and values in memory.
#include <cstring>

#include "doubles/state.h"

namespace kelpin::headless {

std::map<std::string, RegistryKeyValues>& Registry() {
    return S().registry;
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
    return 0;
}

void RegistryCloseKey(RegKey key) {
    S().openKeys.erase(key);
}

} // namespace kelpin
