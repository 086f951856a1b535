#pragma once

// Types, flags and result codes of the AVI file interface, with the numeric values a Windows programmer
// knows them by. Records that are stored in files (BITMAPINFOHEADER) keep their exact byte layout, so a
// caller may read a stream's format straight into one.

#include "platform/com/types.h"
#include "platform/mmio/riff_file.h"

#include <cstdint>

namespace platform::vfw {

using platform::com::BOOL;
using platform::com::DWORD;
using platform::com::FALSE;
using platform::com::HRESULT;
using platform::com::LONG;
using platform::com::TRUE;
using platform::com::ULONG;
using UINT = uint32_t;
using WORD = uint16_t;
using FOURCC = uint32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return platform::mmio::makeFourCC(a, b, c, d);
}

// Result codes: the interface's errors are ITF-facility codes 0x80044000 + n.
constexpr HRESULT makeAviErr(uint32_t n) {
    return static_cast<HRESULT>(0x80044000u + n);
}
inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_UNSUPPORTED = makeAviErr(101);
inline constexpr HRESULT AVIERR_BADFORMAT = makeAviErr(102);
inline constexpr HRESULT AVIERR_MEMORY = makeAviErr(103);
inline constexpr HRESULT AVIERR_INTERNAL = makeAviErr(104);
inline constexpr HRESULT AVIERR_BADFLAGS = makeAviErr(105);
inline constexpr HRESULT AVIERR_BADPARAM = makeAviErr(106);
inline constexpr HRESULT AVIERR_BADSIZE = makeAviErr(107);
inline constexpr HRESULT AVIERR_BADHANDLE = makeAviErr(108);
inline constexpr HRESULT AVIERR_FILEREAD = makeAviErr(109);
inline constexpr HRESULT AVIERR_FILEWRITE = makeAviErr(110);
inline constexpr HRESULT AVIERR_FILEOPEN = makeAviErr(111);
inline constexpr HRESULT AVIERR_COMPRESSOR = makeAviErr(112);
inline constexpr HRESULT AVIERR_NOCOMPRESSOR = makeAviErr(113);
inline constexpr HRESULT AVIERR_READONLY = makeAviErr(114);
inline constexpr HRESULT AVIERR_NODATA = makeAviErr(115);
inline constexpr HRESULT AVIERR_BUFFERTOOSMALL = makeAviErr(116);
inline constexpr HRESULT AVIERR_CANTCOMPRESS = makeAviErr(117);
inline constexpr HRESULT AVIERR_USERABORT = makeAviErr(198);
inline constexpr HRESULT AVIERR_ERROR = makeAviErr(199);

// Open modes of AVIFileOpen and AVIStreamOpenFromFile. Sharing flags are accepted and have no effect.
inline constexpr UINT OF_READ = 0x0000;
inline constexpr UINT OF_WRITE = 0x0001;
inline constexpr UINT OF_READWRITE = 0x0002;
inline constexpr UINT OF_SHARE_EXCLUSIVE = 0x0010;
inline constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
inline constexpr UINT OF_SHARE_DENY_READ = 0x0030;
inline constexpr UINT OF_SHARE_DENY_NONE = 0x0040;
inline constexpr UINT OF_CREATE = 0x1000;

// Stream types (fccType).
inline constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
inline constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');
inline constexpr FOURCC streamtypeMIDI = mmioFOURCC('m', 'i', 'd', 's');
inline constexpr FOURCC streamtypeTEXT = mmioFOURCC('t', 'x', 't', 's');

// Flags of AVIStreamWrite and of index entries.
inline constexpr DWORD AVIIF_LIST = 0x00000001;
inline constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
inline constexpr DWORD AVIIF_FIRSTPART = 0x00000020;
inline constexpr DWORD AVIIF_LASTPART = 0x00000040;
inline constexpr DWORD AVIIF_NOTIME = 0x00000100;

// Flags of the main header (AVIFILEINFO::dwFlags).
inline constexpr DWORD AVIF_HASINDEX = 0x00000010;
inline constexpr DWORD AVIF_MUSTUSEINDEX = 0x00000020;
inline constexpr DWORD AVIF_ISINTERLEAVED = 0x00000100;
inline constexpr DWORD AVIF_TRUSTCKTYPE = 0x00000800;
inline constexpr DWORD AVIF_WASCAPTUREFILE = 0x00010000;
inline constexpr DWORD AVIF_COPYRIGHTED = 0x00020000;

// Capabilities (AVIFILEINFO::dwCaps, AVISTREAMINFO::dwCaps).
inline constexpr DWORD AVIFILECAPS_CANREAD = 0x0001;
inline constexpr DWORD AVIFILECAPS_CANWRITE = 0x0002;
inline constexpr DWORD AVIFILECAPS_ALLKEYFRAMES = 0x0010;
inline constexpr DWORD AVIFILECAPS_NOCOMPRESSION = 0x0020;

// Stream flags (AVISTREAMINFO::dwFlags).
inline constexpr DWORD AVISTREAMINFO_DISABLED = 0x00000001;
inline constexpr DWORD AVISTREAMINFO_FORMATCHANGES = 0x00010000;

// AVIStreamFindSample: a direction, a kind of sample and what to return.
inline constexpr LONG FIND_DIR = 0x0000000F;
inline constexpr LONG FIND_NEXT = 0x00000001;
inline constexpr LONG FIND_PREV = 0x00000004;
inline constexpr LONG FIND_FROM_START = 0x00000008;
inline constexpr LONG FIND_TYPE = 0x000000F0;
inline constexpr LONG FIND_KEY = 0x00000010;
inline constexpr LONG FIND_ANY = 0x00000020;
inline constexpr LONG FIND_FORMAT = 0x00000040;
inline constexpr LONG FIND_RET = 0x0000F000;
inline constexpr LONG FIND_POS = 0x00000000;
inline constexpr LONG FIND_LENGTH = 0x00001000;
inline constexpr LONG FIND_OFFSET = 0x00002000;
inline constexpr LONG FIND_SIZE = 0x00003000;
inline constexpr LONG FIND_INDEX = 0x00004000;

// AVIStreamRead: let the stream choose how many samples (to the end of the current chunk).
inline constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

// Bitmap compression codes (biCompression).
inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// The 40-byte bitmap header, little-endian in files; a packed DIB is this header followed by its
// colour table (when biBitCount <= 8) and its pixel rows, bottom-up when biHeight > 0.
struct BITMAPINFOHEADER {
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = BI_RGB;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is stored byte for byte");

inline constexpr int StreamNameSize = 64;

// The shape of a picture as it is shown, width : height (16 : 9 for a wide film whatever its stored
// size); 0 : 0 when it is not known.
struct DisplayAspect {
    WORD width = 0;
    WORD height = 0;
    bool known() const { return width != 0 && height != 0; }
    bool operator==(const DisplayAspect&) const = default;
};

// What a stream says about itself. A created stream takes these values from AVIFileCreateStream except
// dwLength (the samples written) and dwSuggestedBufferSize (at least the largest chunk written).
struct AVISTREAMINFO {
    FOURCC fccType = 0;    // streamtypeVIDEO, streamtypeAUDIO, ...
    FOURCC fccHandler = 0; // codec of a video stream ("DIVX", "XVID", ...), 0 for audio
    DWORD dwFlags = 0;
    DWORD dwCaps = 0;
    WORD wPriority = 0;
    WORD wLanguage = 0;
    DWORD dwScale = 0; // dwRate / dwScale samples per second
    DWORD dwRate = 0;
    DWORD dwStart = 0;  // number of the first sample
    DWORD dwLength = 0; // number of samples
    DWORD dwInitialFrames = 0;
    DWORD dwSuggestedBufferSize = 0;
    DWORD dwQuality = 0;    // -1 (0xFFFFFFFF) for the default quality
    DWORD dwSampleSize = 0; // bytes per sample, or 0 when each chunk is one sample of its own size
    RECT rcFrame;
    DWORD dwEditCount = 0;
    DWORD dwFormatChangeCount = 0;
    char szName[StreamNameSize] = {};
    // Video: the display aspect, kept in the stream's OpenDML video properties header ("vprp"). A file
    // read gives the one it stores; a created stream with a known aspect has the header written.
    DisplayAspect aspect;
};

struct AVIFILEINFO {
    DWORD dwMaxBytesPerSec = 0;
    DWORD dwFlags = 0; // AVIF_ flags of the main header
    DWORD dwCaps = 0;
    DWORD dwStreams = 0;
    DWORD dwSuggestedBufferSize = 0;
    DWORD dwWidth = 0;
    DWORD dwHeight = 0;
    DWORD dwScale = 0; // time scale of the whole file: dwRate / dwScale units per second
    DWORD dwRate = 0;
    DWORD dwLength = 0; // length of the file in those units
    DWORD dwEditCount = 0;
    char szFileType[StreamNameSize] = {};
};

// Opaque handles; every one that a call hands out is given back with its release call.
class AviFile;
class AviStream;
class GetFrame;
using PAVIFILE = AviFile*;
using PAVISTREAM = AviStream*;
using PGETFRAME = GetFrame*;

} // namespace platform::vfw
