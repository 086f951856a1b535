#pragma once

// Scalar types, structures and result codes of the streaming layer.

#include "platform/com/guid.h"
#include "platform/com/types.h"
#include "platform/com/unknown.h"

namespace platform::dshow {

using namespace platform::com;

// Stream times in units of 100 ns.
using REFERENCE_TIME = int64_t;
inline constexpr REFERENCE_TIME UNITS = 10'000'000; // one second

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr size_t MAX_PIN_NAME = 128;
inline constexpr size_t MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
    IBaseFilter* pFilter; // holds a reference
    PIN_DIRECTION dir;
    OLECHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    OLECHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph; // holds a reference when not null
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers = 0;
    LONG cbBuffer = 0;
    LONG cbAlign = 0;
    LONG cbPrefix = 0;
};

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat; // task memory
};

// A counted array of GUIDs in task memory (property page lists).
struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};

// Filter merits: the order in which automatic graph building tries filters.
inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;
inline constexpr DWORD MERIT_SW_COMPRESSOR = 0x100000;
inline constexpr DWORD MERIT_HW_COMPRESSOR = 0x100050;

// Event codes sent to the graph.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = makeResult(0x80040200u);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = makeResult(0x80040203u);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = makeResult(0x80040204u);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = makeResult(0x80040207u);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = makeResult(0x80040208u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = makeResult(0x80040209u);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = makeResult(0x8004020Au);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = makeResult(0x8004020Bu);
inline constexpr HRESULT VFW_E_BADALIGN = makeResult(0x8004020Eu);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = makeResult(0x80040211u);
inline constexpr HRESULT VFW_E_SIZENOTSET = makeResult(0x80040212u);
inline constexpr HRESULT VFW_E_NO_CLOCK = makeResult(0x80040213u);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = makeResult(0x80040215u);
inline constexpr HRESULT VFW_E_NOT_FOUND = makeResult(0x80040216u);
inline constexpr HRESULT VFW_E_NOT_STOPPED = makeResult(0x80040224u);
inline constexpr HRESULT VFW_E_WRONG_STATE = makeResult(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = makeResult(0x8004022Au);
inline constexpr HRESULT VFW_E_TIMEOUT = makeResult(0x8004022Eu);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = makeResult(0x8004022Fu);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = makeResult(0x8004020Du);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = makeResult(0x8004020Fu);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = makeResult(0x8004020Cu);

} // namespace platform::dshow
