#include "platform/ui/key_filters.h"

namespace platform::ui {

namespace {

constexpr unsigned char FirstPrintable = 32;

bool isControlKey(char key) {
    return static_cast<unsigned char>(key) < FirstPrintable;
}

bool isDigit(char key) {
    return key >= '0' && key <= '9';
}

} // namespace

void numericKeyFilter(char& key) {
    if (!isControlKey(key) && !isDigit(key))
        key = 0;
}

void timeKeyFilter(char& key) {
    if (!isControlKey(key) && !isDigit(key) && key != ':')
        key = 0;
}

void displayOnlyKeyFilter(char& key) {
    key = 0;
}

} // namespace platform::ui
