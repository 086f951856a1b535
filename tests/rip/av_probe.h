#pragma once

// What FFmpeg's readers see in a file the rip made: its streams with their codecs, tags and
// lengths, and for audio the decoded samples, in which the beeps of the generated title are found.

#include <string>
#include <vector>

namespace kes::test {

struct ProbedStream {
    std::string type;   // "video", "audio", ...
    std::string codec;  // FFmpeg's codec name ("mpeg4", "mp3", "wmav2", "pcm_s16le")
    std::string fourcc; // the stream's tag as four characters ("DX50", "U\0\0\0" shown as "0055")
    double seconds = 0; // frames (video) or decoded samples (audio) over their rate
    // Audio: the stream's time before the decoder's first sound (a WMA decoder has none for a stream's
    // first block). The decoded sound starts there.
    double lostSeconds = 0;
    int sampleRate = 0;
    int channels = 0;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    int aspectNum = 0; // pixel aspect as ffprobe reports it; 0/1 when the file gives none
    int aspectDen = 1;
    long long frames = 0;
    long long bytes = 0;              // of every packet
    std::vector<long long> keyFrames; // video: the packets flagged as key frames, by number
};

struct ProbedFile {
    bool opened = false;
    std::string error;
    std::string format; // FFmpeg's name of the container ("avi", "wav", "mp3")
    std::vector<ProbedStream> streams;
    const ProbedStream* first(const std::string& type) const;
};

// Opens the file and reads every packet; video is counted in packets, audio decoded to its end.
ProbedFile probeMedia(const std::string& path);

// The times (seconds from the start of the first audio stream, the decoder's first sound placed after
// its lost time) at which a tone starts after at least 0.1 s of silence.
std::vector<double> beepStarts(const std::string& path);

// The times (frame number over the frame rate) of the first video stream's frames that turn plain
// white after frames that are not.
std::vector<double> flashStarts(const std::string& path);

// The same, with what the decoder found wrong on the way: its messages of error level, packets it
// refused and frames it flagged as damaged.
struct FlashScan {
    std::vector<double> starts;
    int decoderErrors = 0;
};
FlashScan scanFlashes(const std::string& path);

} // namespace kes::test
