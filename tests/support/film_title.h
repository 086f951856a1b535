#pragma once

// DVD titles of numbered pictures (numbered_picture.h) made the way discs are made: the pictures
// encoded with FFmpeg's MPEG-2 encoder, multiplexed by libavformat's DVD muxer (time stamps as
// discs carry them) and authored by dvdauthor into a title set ("VTS_01_1.VOB" with its NAV packs and
// "VTS_01_0.IFO"), a program independent of ours.
//
//   Pal            25 progressive pictures a second, one picture per frame.
//   SoftTelecine   NTSC film: progressive pictures at 24000/1001 coded as 30000/1001 video with the
//                  2:3 pattern of repeated first fields (each picture shown for 2, 3, 2, 3 fields), as
//                  nearly every NTSC film disc is.
//   HardTelecine   NTSC film spread over interlaced 30000/1001 frames in the same 2:3 field pattern,
//                  so that some frames weave the fields of two pictures.
//
// Behind the numbers the pictures move (the test picture of vobgen_video.h at the picture's own
// time), as film does, so that field matching has something to match.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kes::test {

enum class FilmLayout { Pal, SoftTelecine, HardTelecine };

struct FilmTitleSpec {
    FilmLayout layout = FilmLayout::Pal;
    int pictures = 50; // numbered 0 .. pictures - 1
    int gopSize = 12;  // coded frames (fields pairs) per GOP
    int bFrames = 2;
    int bitRate = 5000000;
    bool wide = false; // 16:9 pictures (pixels of 64:45 in PAL, 32:27 in NTSC) instead of 4:3
};

struct FilmTitle {
    std::vector<std::filesystem::path> vobs; // "VTS_01_1.VOB", ...
    std::filesystem::path list;              // "vob.lst" naming them
    std::filesystem::path ifo;               // "VTS_01_0.IFO"
    // Where picture n begins and ends, in fields of the coded video from the first one (PAL: two
    // fields a picture; film: 2:3).
    std::vector<int64_t> firstField, endField;
    int fieldRateNum = 50, fieldRateDen = 1; // fields a second
    int pictureRateNum = 25, pictureRateDen = 1;
    std::string log; // what dvdauthor said
};

// Makes the title in a folder (its VOB files go to folder/VIDEO_TS). Throws std::runtime_error when
// FFmpeg or dvdauthor fails.
FilmTitle makeFilmTitle(const std::filesystem::path& folder, const FilmTitleSpec& spec);

// The film picture whose fields a coded field of the title shows (PAL and film alike).
int pictureOfField(const FilmTitle& title, int64_t field);

} // namespace kes::test
