#include "kes/ifo_audio.h"

#include "kes/ifo_files.h"
#include "kes/language_names.h"

#include <array>

namespace kes {

namespace {

constexpr int CodingShift = 5;
constexpr uint8_t CodingMask = 0x07;
constexpr int TypeShift = 2;
constexpr uint8_t TypeMask = 0x03;
constexpr uint8_t LanguageTypeCode = 1;
constexpr uint8_t DolbySurroundCode = 1;
constexpr size_t CodeOffset = 2;
constexpr size_t CodeSize = 2;
constexpr size_t ModeOffset = 4;
constexpr size_t DolbyOffset = 5;
// The part of a record that is read: bytes 0 to 5.
constexpr size_t RecordBytesRead = 6;

// Coding lines by the coding number of bits 7-5.
constexpr std::array<const char*, 8> CodingLines = {
    "Coding : AC3 ",  "Coding : ??? ", "Coding : Mpeg-1 ", "Coding : Mpeg-2 ",
    "Coding : LPCM ", "Coding : ??? ", "Coding : DTS ",    "Coding : ??? ",
};
constexpr uint8_t CodingLpcm = 4;
constexpr const char* LpcmHint = " [rip it with the Stream extractor]";

constexpr std::array<const char*, 4> ModeLines = {
    "Mode : normal",
    "Mode : for visual impaired",
    "Mode : director's comments",
    "Mode : alternate director's comments",
};

bool languageTypeIsCode(uint8_t attributes) {
    return ((attributes >> TypeShift) & TypeMask) == LanguageTypeCode;
}

} // namespace

bool IfoAudioStream::hasLanguage() const {
    return languageTypeIsCode(attributes);
}

std::string IfoAudioStream::languageName() const {
    return hasLanguage() ? LanguageName(code) : LanguageName({});
}

IfoAudio parseIfoAudio(std::string_view head) {
    IfoAudio result;
    const IfoBytes bytes(head);
    const std::optional<uint8_t> count = bytes.byte(IfoAudioCountOffset);
    if (!count) {
        result.truncated = true;
        return result;
    }
    const int n = std::min<int>(*count, MaxAudioStreams);
    for (int i = 0; i < n; ++i) {
        const size_t record = IfoAudioRecordsOffset + IfoAudioRecordSize * static_cast<size_t>(i);
        if (!bytes.has(record, RecordBytesRead)) {
            result.truncated = true;
            break;
        }
        IfoAudioStream stream;
        stream.attributes = *bytes.byte(record);
        stream.code = std::string(head.substr(record + CodeOffset, CodeSize));
        stream.mode = *bytes.byte(record + ModeOffset);
        stream.dolby = *bytes.byte(record + DolbyOffset);
        result.streams.push_back(stream);
    }
    return result;
}

std::vector<std::string> audioInfoBlock(int index, uint8_t attributes, uint8_t mode, uint8_t dolby,
                                        const std::string& name) {
    std::vector<std::string> lines;
    lines.push_back("Stream 0x8" + std::to_string(index));
    lines.emplace_back("---------------------");
    const uint8_t coding = (attributes >> CodingShift) & CodingMask;
    std::string codingLine = CodingLines[coding];
    if (((dolby >> TypeShift) & TypeMask) == DolbySurroundCode)
        codingLine += "Dolby Surround";
    if (coding == CodingLpcm)
        codingLine += LpcmHint;
    lines.push_back(codingLine);
    lines.push_back(languageTypeIsCode(attributes) ? "Language : " + name
                                                   : std::string("Language : unknown"));
    if (mode >= 1 && mode <= ModeLines.size())
        lines.emplace_back(ModeLines[mode - 1]);
    lines.emplace_back(" ");
    return lines;
}

} // namespace kes
