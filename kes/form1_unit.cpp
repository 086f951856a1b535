#include "kes/form1_unit.h"

#include <utility>

namespace kes {

std::string StartDir;
std::string SystemDir;
std::string WinFamily = "NT/2000/XP";
TextTable CaptionTable;
TextTable MessageTable;
std::string ExtCommand;
std::array<std::string, VobTableSize> VobTable;
int VobCount = 0;
bool RipAborted = false;

const std::string& TextTable::operator[](int number) const {
    static const std::string empty;
    if (number < 1 || number > Size)
        return empty;
    return entries_[static_cast<size_t>(number - 1)];
}

void TextTable::set(int number, std::string text) {
    if (number >= 1 && number <= Size)
        entries_[static_cast<size_t>(number - 1)] = std::move(text);
}

void TextTable::clear() {
    for (auto& entry : entries_)
        entry.clear();
}

} // namespace kes
