#include "kes/profile_list.h"

#include "kes/text_helpers.h"

namespace kes {

std::string profileListEntry(std::string_view title, std::string_view fileName) {
    std::string entry(title);
    entry += " (";
    entry += fileName;
    entry += ')';
    return entry;
}

const ProfileListItem* findProfileItem(const std::vector<ProfileListItem>& items, std::string_view entry) {
    for (const ProfileListItem& item : items) {
        if (item.entry == entry)
            return &item;
    }
    return nullptr;
}

std::string captionWithProfile(std::string_view caption, std::string_view name) {
    if (const size_t bracket = caption.find(']'); bracket != std::string_view::npos)
        caption = caption.substr(0, bracket + 1);
    std::string text(caption);
    text += " - profile : ";
    text += name;
    return text;
}

std::string saveNameOfProfile(std::string_view name) {
    std::string text(name);
    if (text.find(".pfl") != std::string::npos) {
        if (const size_t open = text.rfind('('); open != std::string::npos)
            text.erase(open);
    }
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return fileNameOfTitle(text);
}

} // namespace kes
