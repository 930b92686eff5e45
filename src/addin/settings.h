// The two settings in the registry: the option bits ("flag") and the path of
// the Win32 help file ("W32hlpPath"), and the version command that follows
// the versioning bit.
#pragma once

#include "seam/platform.h"

namespace kelpin {

inline constexpr char SettingsKeyPath[] = "Software\\Dravenor\\Quarnel\\Vantrel";

// Opens the settings key, creating it when it is missing; 0 after the error
// box over owner.
RegKey OpenSettingsKey(HostWindow owner);
void ReadSettings(RegKey key);
// 1 when command 11 is registered (now or before), 0 when the host refused.
int RegisterVersionCommand();
void UnregisterVersionCommand();
void WriteSettings(RegKey key);

} // namespace kelpin
