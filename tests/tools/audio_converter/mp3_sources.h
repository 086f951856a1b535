#pragma once

// MP3 inputs for the tools that cut or copy MPEG audio: FFmpeg's at a constant and at a variable bit
// rate (with its Xing header frame), and ours: MP3 held in a WAVE file, as the audio converter writes it
// through our LAME encoder library (extern/LAME_ENC.DLL of the built program folder).

#include "tools/audio_converter/conversion_engine.h"
#include "tools/audio_converter/wf_preset.h"

#include "tests/support/lavf_media.h"
#include "tests/support/program_folder.h"

#include <cmath>
#include <string>
#include <vector>

namespace kes::test {

inline bool convertWithLame(const std::string& wav, const std::string& target, const std::string& wf,
                            std::string& error) {
    using namespace tools::audio_converter;
    struct Sink : ConversionSink {
        std::vector<std::string> boxes;
        void errorBox(const std::string& text) override { boxes.push_back(text); }
        void messageBox(const std::string& text) override { boxes.push_back(text); }
    };
    ConversionRequest r;
    r.source = wav;
    r.destination = target;
    const WfTexts texts = splitWfParameter(wf);
    r.codecText = texts.codec;
    r.bitRateText = texts.bitRate;
    const auto preset = presetStringFor(texts);
    const auto format = preset ? parsePresetString(*preset) : std::nullopt;
    if (!format) {
        error = "no preset for " + wf;
        return false;
    }
    r.target = *format;
    r.externDir = (builtProgramDir() / "extern").string();
    r.quiet = true;
    Sink sink;
    ConversionEngine converter(sink);
    bool stop = false;
    const ConversionResult result = converter.run(r, stop);
    error = sink.boxes.empty() ? "" : sink.boxes[0];
    return !result.failed;
}

enum class Mp3Source { FfmpegCbr, FfmpegVbr, OurLame };

inline std::string mp3SourceName(Mp3Source source) {
    return source == Mp3Source::FfmpegCbr   ? "FfmpegCbr"
           : source == Mp3Source::FfmpegVbr ? "FfmpegVbr"
                                            : "OurLame";
}

// Writes seconds of a tone as the chosen MP3 into folder; its path, or "" and the reason in error.
inline std::string writeMp3Source(Mp3Source source, const std::string& folder, double seconds,
                                  std::string& error) {
    switch (source) {
    case Mp3Source::FfmpegCbr: {
        const std::string path = folder + "/cbr.mp3";
        return writeLavfMp3(path, seconds, 48000, 2, 128000, &error) ? path : "";
    }
    case Mp3Source::FfmpegVbr: {
        const std::string path = folder + "/vbr.mp3";
        return writeLavfVbrMp3(path, seconds, 44100, 2, 4, &error) ? path : "";
    }
    case Mp3Source::OurLame:
        break;
    }
    constexpr int Rate = 44100;
    constexpr double Step = 2 * 3.14159265358979 * 440 / Rate;
    std::vector<double> tone(static_cast<size_t>(seconds * Rate) * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5 * std::sin(static_cast<double>(i / 2) * Step);
    const std::string wav = folder + "/tone.wav";
    const std::string path = folder + "/lame.wav";
    if (!writeLavfWav(wav, LavfPcm::S16, Rate, 2, tone, &error))
        return "";
    return convertWithLame(wav, path, "WF=MP3/S/44.1/128", error) ? path : "";
}

} // namespace kes::test
