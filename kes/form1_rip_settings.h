#pragma once

// The main window's controls copied into the plain settings of the command-line builders, for the
// window's own command-line, preview and check code.

#include "kes/converter_command.h"
#include "kes/form1.h"

namespace kes {

ConverterSettings converterSettingsOf(const TForm1& form);

} // namespace kes
