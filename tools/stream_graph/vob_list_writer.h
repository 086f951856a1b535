#pragma once

// The VOB list that a chosen VOB file is turned into: "vob.lst" beside it, naming the chosen part as
// given and then each following part of the set found on disk (without regard to case, spelled as the
// file is), one name per line with CR LF, at most kMaxVobListNames names.

#include <string>
#include <vector>

namespace tools::stream_graph {

inline constexpr const char* kVobListName = "vob.lst";
inline constexpr size_t kMaxVobListNames = 10;
inline constexpr const char* kMissingVobText = "Cannot find VOB files !";

// The names the list holds for a chosen VOB path (which need not exist).
std::vector<std::string> vobSetNames(const std::string& chosen);

struct VobListResult {
    enum class Status { Written, Missing, WriteFailed };
    Status status = Status::Missing;
    std::string listPath; // where the list is (or was to be) written
    std::vector<std::string> names;
};

// Writes the list for a chosen VOB file; Missing when the file does not exist (nothing is written).
VobListResult writeVobList(const std::string& chosen);

} // namespace tools::stream_graph
