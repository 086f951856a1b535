#pragma once

// The auto-loading subtitle filter "DirectVobSub (auto-loading version)": between the video decoder
// and the video renderer (32-bit pictures in and out), it joins a graph only when the movie it plays
// has VobSub subtitles of the same name beside it: "movie.idx" with "movie.sub", or "movie.idx" with a
// "movie.rar" that holds a ".sub" member (read through "unrar.dll" beside the filter's file). It draws
// the subpictures of the chosen language (the index's "langidx:" unless the user chose another) over
// each picture at their times. A damaged index or subtitle file lets the movie play without subtitles
// and is said once, in an error box, at the time the graph is built.
//
// Its settings (language, on or off, vertical position) are the user's, kept in the registry store
// under "Software\Kestrova\DirectVobSub", and shown on its property page.

#include "outside/dvobsub/vobsub_track.h"

#include "platform/dshow/base_filter.h"
#include "platform/dshow/filters/stock_pins.h"
#include "platform/dshow/property_interfaces.h"

#include <mutex>

namespace outside::dvobsub {

using namespace platform::dshow;

inline constexpr CLSID CLSID_DirectVobSubAuto = makeGuid("{3F6B2D81-7C4E-4A95-B1D0-8E2A6C5F9B17}");
inline constexpr CLSID CLSID_DirectVobSubPage = makeGuid("{C2E94A57-1D83-4F6B-9A0E-5B7D3C8F2E46}");
inline constexpr IID IID_ISubtitleSettings = makeGuid("{EBE1FB08-3957-47CA-AF13-5827E5442E56}");
inline constexpr char kFilterName[] = "DirectVobSub (auto-loading version)";
inline constexpr char kSettingsKey[] = "Software\\Kestrova\\DirectVobSub";

struct SubtitleSettings {
    int language = -1;    // a stream index, -1: the index's default
    bool hidden = false;  // subtitles off
    int shiftPercent = 0; // moved up by this share of the picture's height
};

SubtitleSettings storedSettings();
void storeSettings(const SubtitleSettings& settings);

struct ISubtitleSettings : IUnknown {
    virtual HRESULT GetSettings(SubtitleSettings* settings) = 0;
    virtual HRESULT SetSettings(const SubtitleSettings* settings) = 0;
    // The languages of the loaded index ("en", ...) with their stream indexes.
    virtual HRESULT GetLanguages(std::vector<std::pair<std::string, int>>* languages) = 0;

protected:
    ~ISubtitleSettings() = default;
};

class SubtitleFilter final : public CBaseFilter,
                             public ISubtitleSettings,
                             public ISpecifyPropertyPages,
                             private filters::StreamHandler {
public:
    explicit SubtitleFilter(IUnknown* outer);
    ~SubtitleFilter() override;
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    KES_DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;

    HRESULT GetSettings(SubtitleSettings* settings) override;
    HRESULT SetSettings(const SubtitleSettings* settings) override;
    HRESULT GetLanguages(std::vector<std::pair<std::string, int>>* languages) override;
    HRESULT GetPages(CAUUID* pages) override;

    // The subpictures drawn now (for the chosen language).
    size_t subpictureCount();

private:
    HRESULT checkInputType(const CMediaType& type) override;
    HRESULT inputConnected(const CMediaType& type) override;
    HRESULT receive(IMediaSample* sample) override;
    HRESULT endOfStream() override;
    void beginFlush() override;
    void endFlush() override;
    void newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Finds and reads the subtitles of the graph's movie; false when there are none to show.
    bool loadSubtitles();
    void chooseLanguage();

    CCritSec lock_;
    std::mutex stream_;
    bool looked_ = false;
    bool loaded_ = false;
    std::optional<IdxFile> idx_;
    std::vector<uint8_t> sub_;
    std::vector<Subpicture> pictures_;
    SubtitleSettings settings_;
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> frame_;
    filters::StockInputPin input_;
    filters::StockOutputPin output_;
};

} // namespace outside::dvobsub
