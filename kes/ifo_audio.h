#pragma once

// The audio attributes of a DVD title's IFO file: the number of audio streams at 0x203 and one
// 8-byte record per stream from 0x204, and the text block the audio page shows for each stream.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes {

inline constexpr size_t IfoAudioCountOffset = 0x203;
inline constexpr size_t IfoAudioRecordsOffset = 0x204;
inline constexpr size_t IfoAudioRecordSize = 8;
// A title carries at most eight audio streams (sub-streams 0x80 to 0x87); a larger count is damage.
inline constexpr int MaxAudioStreams = 8;

// One stream's record: byte 0 (coding in bits 7-5, language type in bits 3-2), the language code of
// bytes 2-3, the mode of byte 4 and the Dolby byte 5.
struct IfoAudioStream {
    uint8_t attributes = 0;
    std::string code;
    uint8_t mode = 0;
    uint8_t dolby = 0;

    // Language type 1: bytes 2-3 hold a language code.
    bool hasLanguage() const;
    // LanguageName of the code when the record has one, else "????".
    std::string languageName() const;
};

struct IfoAudio {
    std::vector<IfoAudioStream> streams;
    // The head ends before the count or inside a record the count announces: the streams are those
    // read before that place.
    bool truncated = false;
};

// Reads the streams from the head of an IFO file (readIfoHead); a count above MaxAudioStreams is
// cut to it.
IfoAudio parseIfoAudio(std::string_view head);

// The lines of a stream's block in the audio page's list: "Stream 0x8" + index, a rule, the coding
// (with "Dolby Surround" when byte 5 says so), the language, the mode for modes 1 to 4, and a line
// holding one blank.
std::vector<std::string> audioInfoBlock(int index, uint8_t attributes, uint8_t mode, uint8_t dolby,
                                        const std::string& name);

} // namespace kes
