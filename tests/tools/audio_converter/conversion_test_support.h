#pragma once

// Shared pieces of the converter tests: a recording sink, requests from "WF=" parameters, and a
// reader of the output's exact RIFF layout.

#include "tools/audio_converter/conversion_engine.h"
#include "tools/audio_converter/wf_preset.h"

#include "tests/support/program_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kes::test {

struct RecordingSink : tools::audio_converter::ConversionSink {
    std::vector<std::string> boxes; // "error: text" or "plain: text"
    int64_t stepped = 0;
    int64_t maximum = -1;
    bool timerOn = false;
    int timerStarts = 0;
    std::function<void()> onMessages;

    void errorBox(const std::string& text) override { boxes.push_back("error: " + text); }
    void messageBox(const std::string& text) override { boxes.push_back("plain: " + text); }
    void jobStarted(int64_t) override {
        timerOn = true;
        ++timerStarts;
    }
    void progressMaximum(int64_t total) override { maximum = total; }
    void progressStep(int64_t bytes) override { stepped += bytes; }
    void jobEnded() override { timerOn = false; }
    void processMessages() override {
        if (onMessages)
            onMessages();
    }
};

inline tools::audio_converter::ConversionRequest requestFor(const std::string& wf, const std::string& source,
                                                            const std::string& destination) {
    using namespace tools::audio_converter;
    ConversionRequest r;
    r.source = source;
    r.destination = destination;
    const WfTexts texts = splitWfParameter(wf);
    r.codecText = texts.codec;
    r.bitRateText = texts.bitRate;
    r.target = *parsePresetString(*presetStringFor(texts));
    r.externDir = (builtProgramDir() / "extern").string();
    r.quiet = true;
    return r;
}

inline uint32_t le32At(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

// The output must be exactly RIFF(WAVE, "fmt " of 30 bytes, "data"); returns the data, or fails.
inline std::string dataOfExactLayout(const std::string& file, const platform::acm::WaveFormat& target) {
    EXPECT_GE(file.size(), 58u);
    if (file.size() < 58)
        return {};
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(le32At(file, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32At(file, 16), 30u);
    const auto area = target.toBytes();
    EXPECT_EQ(file.substr(20, 30), std::string(area.begin(), area.end()));
    EXPECT_EQ(file.substr(50, 4), "data");
    const uint32_t size = le32At(file, 54);
    EXPECT_EQ(file.size(), 58 + size + (size & 1));
    return file.substr(58, size);
}

} // namespace kes::test
