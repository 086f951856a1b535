#include "kes/ifo_subtitles.h"

#include "kes/ifo_files.h"
#include "kes/language_names.h"

namespace kes {

namespace {
constexpr size_t CodeSize = 2;
} // namespace

IfoSubtitles parseIfoSubtitles(std::string_view head) {
    IfoSubtitles result;
    const IfoBytes bytes(head);
    const std::optional<uint8_t> count = bytes.byte(IfoSubpictureCountOffset);
    if (!count) {
        result.truncated = true;
        return result;
    }
    const int m = std::min<int>(*count, MaxSubpictureStreams);
    for (int j = 0; j < m; ++j) {
        const size_t at = IfoSubpictureCodesOffset + IfoSubpictureRecordSize * static_cast<size_t>(j);
        if (!bytes.has(at, CodeSize)) {
            result.truncated = true;
            break;
        }
        const std::string name = LanguageName(head.substr(at, CodeSize));
        result.names.push_back(numberedName(result.names, name));
    }
    return result;
}

} // namespace kes
