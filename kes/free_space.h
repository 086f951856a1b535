#pragma once

// Free-space texts of the local volumes, as the clock and the rip record show them. A volume is named
// by its mount point.

#include "platform/core/volumes.h"

#include <string>
#include <string_view>
#include <vector>

namespace kes {

// One line per volume: mount point + " -> " + free MB (one decimal) + freeLabel + " (" + free GB (two
// decimals) + " Gb) " + totalLabel + total GB (two decimals) + " Gb" + CR LF.
std::string fixedDrivesText(const std::vector<platform::core::Volume>& volumes, std::string_view freeLabel,
                            std::string_view totalLabel);

// Mount point + " => " + free MB (two decimals) + " Mb ".
std::string driveFreeText(const platform::core::Volume& volume);

// The text of the volume that holds path (or, for a file not yet written, its nearest existing
// folder); "?" stands for the mount point when no volume holds it.
std::string DriveFreeText(std::string_view path);

} // namespace kes
