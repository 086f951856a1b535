#pragma once

// A main window ready for the video, mux and subtitle steps of a rip: the audio steps unticked, the
// video AVI and the final AVI in an output folder of the test's data, and small AVI and WAV files for
// the real muxer.

#include "rip_audio_support.h"

#include "tests/tools/synchronizer/tiny_avi.h"

#include "platform/core/process.h"

#include <chrono>
#include <thread>

namespace kes::test {

// Frames of the test movies: 25 per second, 4 x 2 pixels, every one a key frame.
inline constexpr int MovieFrames = 10;

// A video-only AVI of frames frames (at most 900).
inline std::string videoAvi(int frames = MovieFrames) {
    TinyAviSpec spec;
    spec.frames.clear();
    for (int i = 0; i < frames; ++i)
        spec.frames.push_back("frame" + std::to_string(100 + i)); // 8 bytes: one byte a pixel
    spec.withAudio = false;
    return tinyAvi(spec);
}

class RipVideoFixture : public RipAudioFixture {
protected:
    void SetUp() override {
        RipAudioFixture::SetUp();
        form->RipAudio.setChecked(false);
        form->DivxAuto.setChecked(false);
        form->px3gui.setChecked(false);
        form->ForceDeint.setChecked(false);
        form->proceed2.setChecked(false);
        form->log.setChecked(false);
        form->Shut.setChecked(false);
        form->Vexlor.setChecked(false);
        form->Autosynch.setChecked(false);
        out = at("out/");
        std::filesystem::create_directories(out);
        form->AVIFile.setText(out + "video.avi");
        form->FinalFile.setText(out + "final.avi");
        form->compaudiofile.setText(out + "audio.wav");
        script.clearShown();
    }

    // The boxes of the report that ends a rip.
    size_t reports() const {
        size_t n = 0;
        for (const auto& box : script.shown())
            n += box.caption == "Kestrova LOG" ? 1 : 0;
        return n;
    }

    // The runs of a program started without waiting: waits up to two seconds for count of them.
    Lines detachedRuns(const std::string& name, size_t count) const {
        for (int i = 0; i < 100 && runs(name).size() < count; ++i) {
            platform::core::reapChildren();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return runs(name);
    }

    // The arguments after the program, as a fake logs them, of a command line.
    static std::string loggedArguments(const std::string& commandLine) {
        const std::vector<std::string> args = platform::core::splitCommandLine(commandLine);
        std::string logged;
        for (size_t i = 1; i < args.size(); ++i)
            logged += " [" + args[i] + "]";
        return logged;
    }
    static bool endsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    std::string out;
};

} // namespace kes::test
