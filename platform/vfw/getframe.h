#pragma once

// The frame getter: the frames of a video stream as packed device-independent bitmaps.
//
// Uncompressed streams (BI_RGB, 8 to 32 bits) are passed through: 24- and 32-bit frames as stored,
// others converted to 24 bits. MPEG-4 part 2 streams ("DIVX", "DX50", "XVID", "FMP4", "MP4V", "divx",
// "xvid", "dx50" and the like, and "DIV3"/"div3"/"MP43" as MS-MPEG-4 v3) are decoded. A frame is decoded
// from the nearest key frame at or before it, so any position can be asked for in any order.

#include "platform/vfw/vfw_types.h"

namespace platform::vfw {

// lpbiWanted: null for the default (24 bits for decoded streams, the stored depth for uncompressed
// ones), or a header asking for biBitCount 24 or 32 (width and height must be the stream's or 0).
// Null when the stream is no video stream or its format cannot be decoded.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* lpbiWanted);
// The frame at lPos as a BITMAPINFOHEADER followed by its bottom-up pixel rows (each padded to 4
// bytes), valid until the next call on this getter or its close. Null when lPos is outside the stream or
// the frame cannot be decoded.
const BITMAPINFOHEADER* AVIStreamGetFrame(PGETFRAME pg, LONG lPos);
HRESULT AVIStreamGetFrameClose(PGETFRAME pg);

} // namespace platform::vfw
