// The settings store: one registry key under the current user.
#include "addin/settings.h"

#include <cstdio>
#include <cstring>

#include "addin/addin.h"
#include "resources/resource.h"

namespace kelpin {

namespace {
// "W32hlpPath" is always stored with this many bytes, terminator included.
constexpr unsigned HelpPathStoredSize = 259;

void Output(const char* text) {
    OutputLine(addInState.mainWindow, text);
}
} // namespace

RegKey OpenSettingsKey(HostWindow owner) {
    RegKey key = 0;
    long error = RegistryOpenKey(SettingsKeyPath, &key);
    if (error == 0) return key;
    char message[4096];
    std::snprintf(message, sizeof message, "Not found Key: %s\nERROR %ld\nCreating....\n",
                  SettingsKeyPath, error);
    Output(message);
    error = RegistryCreateKey(SettingsKeyPath, &key);
    if (error == 0) return key;
    std::snprintf(message, sizeof message, "Cannot create key: %s\nERROR %ld", SettingsKeyPath,
                  error);
    UiMessageBox(owner, message, "Key Error", UiBoxIconError);
    return 0;
}

void ReadSettings(RegKey key) {
    // A value that cannot be read leaves its field as it was.
    std::uint32_t options = addInState.options;
    unsigned size = sizeof options;
    if (RegistryQueryValue(key, "flag", nullptr, &options, &size) == 0)
        addInState.options = options;

    char path[sizeof addInState.helpPath];
    std::memcpy(path, addInState.helpPath, sizeof path);
    size = HelpPathStoredSize;
    if (RegistryQueryValue(key, "W32hlpPath", nullptr, path, &size) == 0) {
        path[HelpPathStoredSize] = '\0';
        std::memcpy(addInState.helpPath, path, sizeof path);
    }

    if ((addInState.options & OptVersioning) && RegisterVersionCommand() == 0)
        Output("Cannot enable versioning commands!");
}

int RegisterVersionCommand() {
    addInState.options |= OptVersioning;
    if (!addInState.versionCommandRegistered) {
        HostCommandInfo info{HostCommandInfoSize, CmdEditVersion, "Edit Version/Build",
                             UiLoadIcon(addInState.moduleInstance, IDI_EDIT_VERSION), 0};
        if (PlatformSendMessage(addInState.mainWindow, HostMsgAddCommand, 0,
                                reinterpret_cast<std::intptr_t>(&info)) == 0)
            return 0;
    }
    addInState.versionCommandRegistered = 1;
    return 1;
}

void UnregisterVersionCommand() {
    addInState.options &= ~static_cast<std::uint32_t>(OptVersioning);
    addInState.versionCommandRegistered = 0;
    PlatformSendMessage(addInState.mainWindow, HostMsgRemoveCommand, CmdEditVersion, 0);
}

void WriteSettings(RegKey key) {
    RegistrySetValue(key, "flag", RegTypeDword, &addInState.options, sizeof addInState.options);
    // The stored length is always 259 bytes; after the text's terminator they
    // are zeros, never the tail of an earlier, longer path.
    char path[HelpPathStoredSize] = {};
    std::size_t length = strnlen(addInState.helpPath, HelpPathStoredSize - 1);
    std::memcpy(path, addInState.helpPath, length);
    RegistrySetValue(key, "W32hlpPath", RegTypeString, path, HelpPathStoredSize);
}

} // namespace kelpin
