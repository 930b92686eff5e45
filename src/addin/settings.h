// The two settings in the registry: the option bits ("flag") and the path of
// the Win32 help file ("W32hlpPath").
#pragma once

#include <cstdint>

#include "seam/platform.h"

namespace kelpin {

inline constexpr char SettingsKeyPath[] = "Software\\Dravenor\\Quarnel\\Vantrel";

struct Settings {
    std::uint32_t options; // the stored "flag": OptVersioning and bits kept as read
    char helpPath[260];    // the Win32 help file; empty: none
};

// Opens the settings key, creating it when it is missing; 0 after the error
// box over owner. The line that tells of a missing key goes to pane, the
// host's window that shows the add-in's output (none when it is 0).
RegKey OpenSettingsKey(HostWindow owner, HostWindow pane);
// The settings stored under key, over current: a value that cannot be read
// (or a key of 0) leaves current's.
Settings ReadSettings(RegKey key, const Settings& current);
void WriteSettings(RegKey key, const Settings& settings);

} // namespace kelpin
