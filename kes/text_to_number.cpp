// The decimal number reader that reports an invalid text in a box; the reader itself is in
// text_helpers.cpp, which stays free of windows.
#include "kes/form1_unit.h"
#include "kes/text_helpers.h"

#include "platform/ui/dialogs.h"

namespace kes {

namespace {
constexpr int MsgNotANumber = 1;
}

double TextToNumber(std::string_view text) {
    if (const auto value = parseDecimalText(text))
        return *value;
    platform::ui::errorBox(std::string(text) + " " + MessageTable[MsgNotANumber]);
    return 0;
}

} // namespace kes
