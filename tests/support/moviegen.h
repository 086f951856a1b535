#pragma once

// Short AVI movies written by FFmpeg's libavformat (an independent writer) for the playback tests:
// MPEG-4 part 2 or MS-MPEG-4 v3 video of plain grey frames, one of which may be white (the flash),
// with PCM or MP3 sound that is silent except for an optional beep.

#include <string>

namespace kes::test {

struct MovieSpec {
    enum class Video { Mpeg4, MsMpeg4v3 };
    enum class Audio { None, Pcm, Mp3 };

    Video video = Video::Mpeg4;
    Audio audio = Audio::Pcm;
    int width = 160;
    int height = 120;
    int fps = 25;
    int frames = 50;
    int keyEvery = 10;   // a key frame every so many frames, from frame 0
    int bFrames = 0;     // consecutive B-frames (MPEG-4: stored before the pictures shown ahead of them)
    int flashFrame = -1; // the white frame, -1 for none
    int sampleRate = 44100;
    int channels = 2;
    double beepAt = -1; // seconds from the start of the sound, -1 for none
    double beepLength = 0.1;
};

// Writes the movie; false with a reason in error on a failure.
bool writeMovie(const std::string& path, const MovieSpec& spec, std::string* error = nullptr);

// Makes the video stream of a written movie claim another FourCC (its stream header's handler and its
// format's compression), as a file made with an unknown codec would; false when the file has no such
// headers.
bool setVideoFourcc(const std::string& path, const char fourcc[4]);

// The luma a frame is drawn with: grey, or white for the flash.
inline constexpr int MovieGrey = 60;
inline constexpr int MovieWhite = 235;

} // namespace kes::test
