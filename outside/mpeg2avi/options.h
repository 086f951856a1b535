#pragma once

// The converter's command line. One program answers to five names; the name picks the variant:
//   mpeg2avipx3.exe  plain conversion, output "movie.avi"
//   m2apx3g.exe      the same, output "movie_1.avi"
//   m2apx3go.exe     the same, output "movie_1.avi" (the rip's dual-output variant)
//   mpeg2aviSVE.exe  forced deinterlace, output "movie.avi"
//   mpeg2v12.exe     conversion or preview that may start at a sector ("-@ n")
// Items (each a separate argument; the output folder last, not an option):
//   -b LIST        the VOB list ("vob.lst", one path a line)
//   -a             no audio: the AVI holds the video only (it always does; accepted for the rip's line)
//   -# FIRST LAST  source frames FIRST up to, not including, LAST (0-based, at the source's frame rate)
//   -f2 -f3 -f4 -f5 -f6   the AVI's frame rate: 25, 24, 30, 24000/1001, 30000/1001 (default: the source's)
//   -q0 / -q1      picture filters of high quality (Lanczos scaling, bob-weaver deinterlacing) / fast
//                  ones (fast bilinear scaling, deinterlacing without the spatial check); default:
//                  bicubic scaling and the full motion-adaptive deinterlacer
//   -r0 .. -r7     the MPEG-2 decoder's inverse DCT (see idctName)
//   -1 W H         crop to W × H, taken from the centre of the (resized) picture
//   -2             half resolution (before -3X/-3Y, which override a side)
//   -3X W, -3Y H   resize to width W / height H
//   -df            deinterlace every frame
//   -sN            inverse telecine (N = 0..9, how readily combed frames are deinterlaced after matching)
//   -7             dual output: a second codec writes "movie_2.avi" beside "movie_1.avi"
//   -o6            preview window instead of a conversion (no output folder)
//   -o7 / -o8 / -o9  the codec's input colour format: RGB24 / YV12 / YUY2 (default YV12)
//   -@ N           start at 2048-byte sector N of the set

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mpeg2avi {

enum class Variant { Px3, Px3Gui, Px3GuiDual, Sve, V12 };

enum class PostFilter { Default, HighQuality, Fast };

enum class ColourFormat { RGB24, YV12, YUY2 };

struct FrameRate {
    int num = 25;
    int den = 1;
    bool operator==(const FrameRate&) const = default;
};

struct ConvertOptions {
    Variant variant = Variant::Px3;
    std::string list;
    bool noAudio = false;
    std::optional<int64_t> firstFrame;
    std::optional<int64_t> lastFrame;
    std::optional<FrameRate> rate;
    PostFilter postFilter = PostFilter::Default;
    std::optional<int> idct; // 0..7
    std::optional<int> cropWidth, cropHeight;
    bool halfRes = false;
    std::optional<int> width, height;
    bool deinterlace = false;
    std::optional<int> ivtc; // strength 0..9
    bool dual = false;
    bool preview = false;
    ColourFormat colour = ColourFormat::YV12;
    std::optional<int64_t> startSector;
    std::string outputFolder;
};

// The variant of a program file name (any letter case, with or without its folder and ".exe").
std::optional<Variant> variantOfProgram(const std::string& programPath);

// Parses the items after the program name. False with a message for an unknown item, a missing or
// malformed number, a missing list or output folder, or a second folder.
bool parseOptions(Variant variant, const std::vector<std::string>& args, ConvertOptions& options,
                  std::string& error);

// The name the finished AVI takes in the output folder (output 1 or 2).
std::string outputName(const ConvertOptions& options, int output);

// FFmpeg's name of the inverse DCT an -r digit asks for.
const char* idctName(int digit);

} // namespace mpeg2avi
