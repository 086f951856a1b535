#include "tools/stream_graph/filter_table.h"

#include "platform/dshow/filters/stock_guids.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tools::stream_graph {

namespace {

namespace stock = platform::dshow::filters;

FilterSlot entry(const CLSID& clsid, const char* name, const char* file = "") {
    return FilterSlot{clsid, name, file, {}};
}

std::vector<FilterSlot> slotsFor(GraphMode mode) {
    const FilterSlot source = entry(CLSID_MultiMp2Source, kSourceName, kSourceFile);
    const FilterSlot parser = entry(stock::CLSID_Mpeg2Parser, kParserName, kParserFile);
    const FilterSlot decoder = entry(stock::CLSID_AudioDecoder, kDecoderName, kDecoderFile);
    const FilterSlot wavDest = entry(stock::CLSID_WavDest, kWavDestName, kWavDestFile);
    const FilterSlot fileWriter = entry(stock::CLSID_FileWriter, kFileWriterName);
    switch (mode) {
    case GraphMode::SearchPcm:
        return {source, entry(stock::CLSID_Mpeg2Splitter, kParserName, kSplitterFile), wavDest, fileWriter};
    case GraphMode::RenderStream:
        return {source, parser, decoder, entry(stock::CLSID_AcmWrapper, kAcmWrapperName),
                entry(stock::CLSID_SoundRenderer, kSoundRendererName)};
    case GraphMode::SearchAc3:
    case GraphMode::SearchMp2:
    case GraphMode::WriteFile:
        break;
    }
    return {source, parser, decoder, wavDest, fileWriter};
}

} // namespace

int FilterTable::assign(GraphMode mode) {
    releaseFilters();
    const std::vector<FilterSlot> wanted = slotsFor(mode);
    for (auto& slot : slots_)
        slot = FilterSlot{};
    for (size_t i = 0; i < wanted.size() && i < slots_.size(); ++i)
        slots_[i] = wanted[i];
    count_ = static_cast<int>(std::min(wanted.size(), slots_.size()));
    return count_;
}

FilterSlot& FilterTable::slot(int n) {
    if (n < 1 || n > kMaxFilterSlots)
        throw std::out_of_range("filter slot out of range");
    return slots_[static_cast<size_t>(n - 1)];
}

const FilterSlot& FilterTable::slot(int n) const {
    if (n < 1 || n > kMaxFilterSlots)
        throw std::out_of_range("filter slot out of range");
    return slots_[static_cast<size_t>(n - 1)];
}

FilterSlot* FilterTable::find(const std::string& name) {
    for (int n = 1; n <= count_; ++n)
        if (slot(n).name == name)
            return &slot(n);
    return nullptr;
}

void FilterTable::releaseFilters() {
    for (auto& slot : slots_)
        slot.filter.reset();
}

bool writesFile(GraphMode mode) {
    return mode != GraphMode::RenderStream;
}

} // namespace tools::stream_graph
