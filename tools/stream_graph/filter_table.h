#pragma once

// The filters of an audio stream graph, slot by slot, for each mode: the multiple-file source, an
// MPEG-2 parser, the AC3 decoder (not for PCM), then either the WAV writer and the File Writer or the
// ACM Wrapper and the sound renderer.

#include "tools/stream_graph/stream_graph_policy.h"

#include "platform/com/com_ptr.h"
#include "platform/com/guid.h"
#include "platform/dshow/filter_interfaces.h"

#include <array>
#include <string>

namespace tools::stream_graph {

using platform::com::CLSID;
using platform::com::ComPtr;
using platform::dshow::IBaseFilter;

inline constexpr int kMaxFilterSlots = 5;

// Friendly names of the filters, as the table and the logs give them.
inline constexpr const char* kSourceName = "Multi MP2 source";
inline constexpr const char* kParserName = "MPEG2 parser";
inline constexpr const char* kDecoderName = "Xing AC3 audio decoder";
inline constexpr const char* kWavDestName = "Wav Dest";
inline constexpr const char* kFileWriterName = "File Writer";
inline constexpr const char* kAcmWrapperName = "ACM Wrapper";
inline constexpr const char* kSoundRendererName = "Sound Renderer";

// Files registered before their filter is created.
inline constexpr const char* kSourceFile = "_Quillon.ax";
inline constexpr const char* kParserFile = "_Mpeg2Parser.ax";
inline constexpr const char* kSplitterFile = "Mpeg2splt.ax";
inline constexpr const char* kDecoderFile = "XmdAudioDecode.dll";
inline constexpr const char* kWavDestFile = "_wavdest.ax";

inline constexpr CLSID CLSID_MultiMp2Source =
    platform::com::makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");

struct FilterSlot {
    CLSID clsid{};
    std::string name;
    std::string file; // empty: nothing to register
    ComPtr<IBaseFilter> filter;
};

// Slots 1 to kMaxFilterSlots.
class FilterTable {
public:
    // Fills the table for the mode (created filters are dropped); returns the number of slots in use.
    int assign(GraphMode mode);
    int count() const { return count_; }
    // Slot n (1-based); n must lie in 1..kMaxFilterSlots.
    FilterSlot& slot(int n);
    const FilterSlot& slot(int n) const;
    // The slot in use with that friendly name, or nullptr.
    FilterSlot* find(const std::string& name);
    // Drops every created filter.
    void releaseFilters();

private:
    std::array<FilterSlot, kMaxFilterSlots> slots_{};
    int count_ = 0;
};

// Whether the mode writes a file (its last slot is the File Writer).
bool writesFile(GraphMode mode);

} // namespace tools::stream_graph
