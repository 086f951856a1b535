#pragma once

// A main window ready for the audio steps of a rip: a two-file VOB run and the WAV paths of both
// streams in folders whose names hold blanks, the audio extraction ticked and everything else not,
// and helpers to install fakes of the decoders and read what they were given.

#include "rip_form_fixture.h"

#include "kes/free_space.h"
#include "kes/rip_record.h"

#include "tests/support/temp_dir.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

inline std::string le32(uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                       static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24 & 0xFF)};
}
inline std::string le16(uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// A canonical stereo 16-bit PCM WAV file of the given rate holding a quiet 440 Hz tone.
inline std::string wavBytes(uint32_t rate, size_t frames) {
    constexpr double Pi = 3.14159265358979323846;
    constexpr double Amplitude = 3000;
    std::string samples;
    samples.reserve(frames * 4);
    for (size_t i = 0; i < frames; ++i) {
        const auto v =
            static_cast<int16_t>(std::lround(Amplitude * std::sin(2 * Pi * 440 * double(i) / rate)));
        samples += le16(static_cast<uint16_t>(v)) + le16(static_cast<uint16_t>(v));
    }
    const auto size = static_cast<uint32_t>(samples.size());
    return "RIFF" + le32(36 + size) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(rate) +
           le32(rate * 4) + le16(4) + le16(16) + "data" + le32(size) + samples;
}

// The bytes as the fake's control file writes them: every byte as \xHH.
inline std::string escapeForFake(const std::string& bytes) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 4);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += "\\x";
        out += Hex[b >> 4];
        out += Hex[b & 0xF];
    }
    return out;
}

class RipAudioFixture : public RipFormTest {
protected:
    using Lines = std::vector<std::string>;

    void SetUp() override {
        RipRecord = TRipRecord{};
        vob1 = make("my dvd/VTS_01_1.VOB", "vob");
        vob2 = make("my dvd/VTS_01_2.VOB", "vob");
        folder1 = at("my wavs/");
        folder2 = at("second/");
        std::filesystem::create_directories(folder1);
        std::filesystem::create_directories(folder2);
        wav1 = folder1 + "one.wav";
        wav2 = folder2 + "two.wav";
        form->Vobfile.setText(vob1);
        form->WavFileEdit.setText(wav1);
        form->Wav2.setText(wav2);
        form->SubStream.setText("0x80");
        form->SecSubStream.setText("0x81");
        form->RipAudio.setChecked(true);
        form->DelWav.setChecked(false);
        form->Norm2Other.setChecked(false);
        form->flip.setChecked(false);
        form->Samplerate.setText("48");
    }

    std::string ext() const { return form->externDir(); }

    // Installs the recording fake under a name, with its control lines.
    void fake(const std::string& name, const std::string& control = {}) {
        folder.installFake(name, "kes_fake_tool");
        if (!control.empty())
            writeBytes(folder.externDir() / (name + ".fake"), control);
    }
    // The runs of a fake, one "[cwd] [program] [arguments...]" line each.
    Lines runs(const std::string& name) const {
        const std::filesystem::path log = folder.externDir() / (name + ".log");
        Lines lines;
        if (!std::filesystem::exists(log))
            return lines;
        const std::string text = readBytes(log);
        size_t start = 0;
        for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
    // The line a run of the fake logs when started from extern/ with these arguments.
    std::string run(const std::string& name, const Lines& args) const {
        std::string line =
            "[" + std::filesystem::canonical(folder.externDir()).string() + "] [" + ext() + name + "]";
        for (const std::string& arg : args)
            line += " [" + arg + "]";
        return line;
    }
    void clearLogs() {
        for (const auto& entry : std::filesystem::directory_iterator(folder.externDir()))
            if (entry.path().extension() == ".log")
                std::filesystem::remove(entry.path());
    }
    // "Launch rip !", with only the rip's own runs in the logs.
    void launch() {
        clearLogs();
        form->LaunchClick();
    }
    // Boxes shown, as "kind: text", without the report that ends a rip.
    Lines shown() const {
        Lines all;
        for (const auto& box : script.shown()) {
            if (box.caption != "Kestrova LOG")
                all.push_back(box.kind + ": " + box.text);
        }
        return all;
    }

    std::string vob1, vob2, folder1, folder2, wav1, wav2;
};

} // namespace kes::test
