#pragma once

// The profile list of the profiles page: one entry per profile file that has a title, shown as
// "Title (file.pfl)", with the file's path. An entry text leads to its path through the first equal
// entry. The window-free rules of the name box (the caption and the name proposed for saving) are
// here as well.

#include <string>
#include <string_view>
#include <vector>

namespace kes {

struct ProfileListItem {
    std::string entry; // "Title (file.pfl)"
    std::string path;  // the profile file
};

// The list entry of a profile: its title, " (", its file name, ")".
std::string profileListEntry(std::string_view title, std::string_view fileName);

// The first item whose entry equals the text, or null.
const ProfileListItem* findProfileItem(const std::vector<ProfileListItem>& items, std::string_view entry);

// The window caption for a profile name: the caption up to its first "]" (all of it when it has none),
// then " - profile : " and the name.
std::string captionWithProfile(std::string_view caption, std::string_view name);

// The file name proposed for saving a profile of that name: a list entry "Movie (movie.pfl)" loses
// everything from its last "(" on (the blank before it stays), and then a final "." is dropped; what
// a file name cannot hold becomes "_" (fileNameOfTitle).
std::string saveNameOfProfile(std::string_view name);

} // namespace kes
