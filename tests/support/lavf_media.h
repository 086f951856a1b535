#pragma once

// Media files made and read by FFmpeg's libraries, for tests: AVI, MP3 and WAV inputs written by
// another program than ours (test movies with moving pictures and a tone, and short playback movies of
// grey frames with a flash and a beep), and an independent reading of what our writers wrote (streams,
// packets, decoded samples and the warnings the demuxer and decoders printed).

#include <cstdint>
#include <string>
#include <vector>

namespace kes::test {

enum class LavfAudio { None, Pcm16, Mp3 };

struct LavfAviSpec {
    int width = 64;
    int height = 48;
    int fps = 25;
    int frames = 25;
    int gop = 12;    // frames from one key frame to the next
    int bFrames = 0; // consecutive B-frames (MPEG-4 without packing: the decoder has a delay)
    LavfAudio audio = LavfAudio::Pcm16;
    int sampleRate = 44100;
    int channels = 2;
    int64_t audioBitRate = 128000; // MP3
    double audioSeconds = -1;      // below 0: as long as the video
};

// Writes an AVI with MPEG-4 video (a moving picture) and the chosen audio (a tone). False and a
// message in error when FFmpeg could not write it.
bool writeLavfAvi(const std::string& path, const LavfAviSpec& spec, std::string* error = nullptr);

// Copies the video stream of an AVI from its packet firstPacket on into a new AVI (no re-encoding), as
// another program cuts a movie at a key frame. False and a message in error on a failure.
bool copyLavfVideo(const std::string& source, const std::string& destination, int firstPacket,
                   std::string* error = nullptr);

// Writes an AVI of frames MPEG-4 video frames of frameBytes bytes each (blank but for their first byte),
// as FFmpeg writes any AVI: past 1 GB in OpenDML "AVIX" parts. The blank bytes are left as holes, so
// a file of gigabytes takes little room on the disk. False and a message in error on a failure.
bool writeLavfLargeAvi(const std::string& path, int frames, int frameBytes, std::string* error = nullptr);

// Writes a MP3 file (raw frames, no tag) of a tone.
bool writeLavfMp3(const std::string& path, double seconds, int sampleRate, int channels, int64_t bitRate,
                  std::string* error = nullptr);
// The same with a variable bit rate (LAME's quality 0 to 9) and the Xing header frame before the audio.
bool writeLavfVbrMp3(const std::string& path, double seconds, int sampleRate, int channels, int quality,
                     std::string* error = nullptr);

enum class LavfPcm { U8, S16, S24, S32, F32 };

// Writes a WAV file of the given samples (interleaved, full scale -1..1, clipped); with a title, a
// "LIST"/"INFO" chunk holding it comes before the audio.
bool writeLavfWav(const std::string& path, LavfPcm format, int sampleRate, int channels,
                  const std::vector<double>& samples, std::string* error = nullptr,
                  const std::string& title = {});

// Writes a DVD program stream (FFmpeg's "vob" muxer) holding one DVD LPCM stream of 16 or 24 bits: a
// sound whose pitch rises, so that no stretch of samples repeats another.
bool writeLavfLpcmVob(const std::string& path, double seconds, int sampleRate, int channels, int bits,
                      std::string* error = nullptr);

struct LavfStream {
    std::string type;  // "video", "audio"
    std::string codec; // FFmpeg's codec name
    int64_t packets = 0;
    int64_t frames = 0;  // decoded video frames
    int64_t samples = 0; // decoded audio samples per channel
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    int width = 0;
    int height = 0;
    int aspectNum = 0; // pixel aspect the container gives the stream (an AVI's "vprp"); 0/1: none
    int aspectDen = 1;
    double startSeconds = -1; // time of the first packet (an AVI stream's start field); -1: none
    double seconds = 0;       // decoded length: samples ÷ rate, or frames as the stream's time base says
    std::vector<double> pcm;  // decoded audio, interleaved, -1..1 (when asked for)
};

struct LavfProbe {
    bool opened = false;
    std::string format; // FFmpeg's demuxer name
    std::vector<LavfStream> streams;
    std::vector<std::string> warnings; // what the demuxer and decoders reported (warnings and errors)
    const LavfStream* first(const std::string& type) const;
};

// Opens the file with libavformat and decodes every stream to its end.
LavfProbe probeLavf(const std::string& path, bool keepPcm = false);

struct LavfPacket {
    std::string bytes;
    bool key = false;
};

// The first video stream of a file: its packets as stored, and its pictures decoded in the order they
// are shown (the decoder drained at the end), as 0xRRGGBB pixels top-down (BT.601, limited range).
struct LavfVideo {
    int width = 0;
    int height = 0;
    std::vector<LavfPacket> packets;
    std::vector<std::vector<uint32_t>> pictures;
};
LavfVideo readLavfVideo(const std::string& path);

// Short playback movies: MPEG-4 part 2 or MS-MPEG-4 v3 video of plain grey frames, one of which may be
// white (the flash), with PCM or MP3 sound that is silent except for an optional beep.
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
    int aspectNum = 0; // pixel aspect stored with the video (FFmpeg writes it into "vprp"); 0: none
    int aspectDen = 0;
};

// A DivX 3 (MS-MPEG-4 v3) movie of 160x120 with pixels of 4:3, shown at 16:9: a shape that only the
// file's video properties header holds.
MovieSpec wideDivx3Movie(int frames, MovieSpec::Audio audio);

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
