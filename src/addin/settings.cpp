// The settings store: one registry key under the current user.
#include "addin/settings.h"

#include <cstdio>
#include <cstring>

#include "host/editor.h"

namespace kelpin {

namespace {
// "W32hlpPath" is always stored with this many bytes, terminator included.
constexpr unsigned HelpPathStoredSize = 259;
} // namespace

RegKey OpenSettingsKey(HostWindow owner, HostWindow pane) {
    RegKey key = 0;
    long error = RegistryOpenKey(SettingsKeyPath, &key);
    if (error == 0) return key;
    char message[4096];
    std::snprintf(message, sizeof message, "Not found Key: %s\nERROR %ld\nCreating....\n",
                  SettingsKeyPath, error);
    OutputLine(pane, message);
    error = RegistryCreateKey(SettingsKeyPath, &key);
    if (error == 0) return key;
    std::snprintf(message, sizeof message, "Cannot create key: %s\nERROR %ld", SettingsKeyPath,
                  error);
    UiMessageBox(owner, message, "Key Error", UiBoxIconError);
    return 0;
}

Settings ReadSettings(RegKey key, const Settings& current) {
    Settings settings = current;
    std::uint32_t options = settings.options;
    unsigned size = sizeof options;
    if (RegistryQueryValue(key, "flag", nullptr, &options, &size) == 0) settings.options = options;

    char path[sizeof settings.helpPath];
    std::memcpy(path, settings.helpPath, sizeof path);
    size = HelpPathStoredSize;
    if (RegistryQueryValue(key, "W32hlpPath", nullptr, path, &size) == 0) {
        path[HelpPathStoredSize] = '\0';
        std::memcpy(settings.helpPath, path, sizeof path);
    }
    return settings;
}

void WriteSettings(RegKey key, const Settings& settings) {
    RegistrySetValue(key, "flag", RegTypeDword, &settings.options, sizeof settings.options);
    // The stored length is always 259 bytes; after the text's terminator they
    // are zeros, never the tail of an earlier, longer path.
    char path[HelpPathStoredSize] = {};
    std::size_t length = strnlen(settings.helpPath, HelpPathStoredSize - 1);
    std::memcpy(path, settings.helpPath, length);
    RegistrySetValue(key, "W32hlpPath", RegTypeString, path, HelpPathStoredSize);
}

} // namespace kelpin
