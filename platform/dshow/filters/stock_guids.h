#pragma once

// Class identifiers of the stock filters, and the media types and interfaces they add to those of the
// streaming layer.

#include "platform/com/guid.h"
#include "platform/dshow/graph_interfaces.h"

namespace platform::dshow::filters {

using platform::com::CLSID;
using platform::com::GUID;
using platform::com::makeGuid;

// The MPEG-2 program stream parser, under both of its identifiers.
inline constexpr CLSID CLSID_Mpeg2Parser = makeGuid("{CB51EFC1-40D6-11D3-B265-00A0C9A3A56F}");
inline constexpr CLSID CLSID_Mpeg2Splitter = makeGuid("{3AE86B20-7BE8-11D1-ABE6-00A0C905F375}");
inline constexpr CLSID CLSID_AudioDecoder = makeGuid("{9FA8C220-64CF-11D1-BA76-00A024580F49}");
inline constexpr CLSID CLSID_WavDest = makeGuid("{3C78B8E2-6C4D-11D1-ADE2-0000F8754B99}");
inline constexpr CLSID CLSID_FileWriter = makeGuid("{8596E5F0-0DA5-11D0-BD21-00A0C911CE86}");
inline constexpr CLSID CLSID_AcmWrapper = makeGuid("{6A08CF80-0E18-11CF-A24D-0020AFD79767}");
inline constexpr CLSID CLSID_SoundRenderer = makeGuid("{79376820-07D0-11CF-A24D-0020AFD79767}");
// Our own source for WAV files (rendering a ".wav"): it reads the file and pushes its samples. The
// graph manager creates it by this identifier, so it is declared there.
using platform::dshow::CLSID_WavFileSource;

inline constexpr GUID MEDIATYPE_Video = makeGuid("{73646976-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_VIDEO = makeGuid("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG1System = makeGuid("{E436EB84-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_DVD_LPCM_AUDIO = makeGuid("{E06D8032-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG1Payload = makeGuid("{E436EB81-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG1AudioPayload = makeGuid("{00000050-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_WAVE = makeGuid("{E436EB8B-524F-11CE-9F53-0020AF0BA770}");

// The interfaces' identifiers and the time format are the graph manager's (graph_interfaces.h).
using platform::dshow::IID_IAMFilterMiscFlags;
using platform::dshow::IID_IMediaSeeking;
using platform::dshow::TIME_FORMAT_MEDIA_TIME;

} // namespace platform::dshow::filters
