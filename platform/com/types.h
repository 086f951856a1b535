#pragma once

// The scalar types and result codes of the component object model, as the filters and their hosts use
// them. Result codes keep their usual numeric values so that logs read as anyone would expect.

#include <cstdint>

namespace platform::com {

using HRESULT = int32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using BYTE = uint8_t;
using LONGLONG = int64_t;
using OLECHAR = char16_t; // wide texts are UTF-16, as COM's
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr HRESULT makeResult(uint32_t value) {
    return static_cast<HRESULT>(value);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = makeResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = makeResult(0x80004002u);
inline constexpr HRESULT E_POINTER = makeResult(0x80004003u);
inline constexpr HRESULT E_ABORT = makeResult(0x80004004u);
inline constexpr HRESULT E_FAIL = makeResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = makeResult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = makeResult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = makeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = makeResult(0x80070057u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = makeResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = makeResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = makeResult(0x80040154u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = makeResult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = makeResult(0x800401F9u);
inline constexpr HRESULT SELFREG_E_CLASS = makeResult(0x80040201u);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// Class contexts of CoCreateInstance: only in-process servers exist here.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

} // namespace platform::com
