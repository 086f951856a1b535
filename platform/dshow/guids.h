#pragma once

// Identifiers of the streaming interfaces, media types and categories.

#include "platform/com/guid.h"

namespace platform::dshow {

using platform::com::GUID;
using platform::com::makeGuid;

// Interfaces.
inline constexpr GUID IID_IPersist = makeGuid("{0000010C-0000-0000-C000-000000000046}");
inline constexpr GUID IID_IPin = makeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IEnumPins = makeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IEnumFilters = makeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IBaseFilter = makeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IReferenceClock = makeGuid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IMediaFilter = makeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IMediaSample = makeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IMemAllocator = makeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IMemInputPin = makeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IFilterGraph = makeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IMediaEventSink = makeGuid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IQualityControl = makeGuid("{56A868A5-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IFileSourceFilter = makeGuid("{56A868A6-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IAsyncReader = makeGuid("{56A868AA-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr GUID IID_IEnumMediaTypes = makeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
inline constexpr GUID IID_IFileSinkFilter = makeGuid("{A2104830-7C70-11CF-8BCE-00AA00A3F1A6}");
inline constexpr GUID IID_ISpecifyPropertyPages = makeGuid("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
inline constexpr GUID IID_IPropertyPageSite = makeGuid("{B196B28C-BAB4-101A-B69C-00AA00341D07}");
inline constexpr GUID IID_IPropertyPage = makeGuid("{B196B28D-BAB4-101A-B69C-00AA00341D07}");

// Major types, subtypes and format types.
inline constexpr GUID MEDIATYPE_Stream = makeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIATYPE_Audio = makeGuid("{73647561-0000-0010-8000-00AA00389B71}");
inline constexpr GUID MEDIASUBTYPE_Avi = makeGuid("{E436EB88-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_PROGRAM = makeGuid("{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_MPEG2_AUDIO = makeGuid("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_DOLBY_AC3 = makeGuid("{E06D802C-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr GUID MEDIASUBTYPE_PCM = makeGuid("{00000001-0000-0010-8000-00AA00389B71}");
inline constexpr GUID FORMAT_None = makeGuid("{0F6417D6-C318-11D0-A43F-00A0C9223196}");
inline constexpr GUID FORMAT_WaveFormatEx = makeGuid("{05589F81-C356-11CE-BF01-00AA0055595A}");

// The category under which filters are registered.
inline constexpr GUID CLSID_LegacyAmFilterCategory = makeGuid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");

} // namespace platform::dshow
