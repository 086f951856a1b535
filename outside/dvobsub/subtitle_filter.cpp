#include "outside/dvobsub/subtitle_filter.h"

#include "outside/unrar/unrar_api.h"

#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filters/video_types.h"
#include "platform/dshow/guids.h"
#include "platform/ui/dialogs.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <set>

namespace outside::dvobsub {

namespace {

namespace core = platform::core;
namespace reg = platform::core::registry;
using core::RootKey;
using platform::com::ComPtr;

constexpr LONG kOutputBuffers = 3;
constexpr int kBytesPerPixel = 4;
constexpr int64_t kMaxSubBytes = 256 * 1024 * 1024;
constexpr char kLanguageValue[] = "Language";
constexpr char kHiddenValue[] = "Hidden";
constexpr char kShiftValue[] = "Shift";
constexpr uint32_t kNoLanguage = 0xFFFFFFFF;

std::mutex gReportedMutex;
std::set<std::string> gReported; // the subtitle files whose fault was said already

void sayOnce(const std::string& file, const std::string& why) {
    {
        std::lock_guard lock(gReportedMutex);
        if (!gReported.insert(file).second)
            return;
    }
    platform::ui::errorBox("Subtitles of " + file + " not shown : " + why + " !", kFilterName);
}

// Whether the graph holds another subtitle filter than self: one draws the subtitles, a second would
// draw them again.
bool anotherSubtitleFilter(IFilterGraph* graph, IBaseFilter* self) {
    if (!graph)
        return false;
    ComPtr<IEnumFilters> walker;
    if (FAILED(graph->EnumFilters(walker.put())) || !walker)
        return false;
    IBaseFilter* filter = nullptr;
    ULONG fetched = 0;
    bool found = false;
    while (!found && walker->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
        CLSID clsid{};
        found = filter != self && SUCCEEDED(filter->GetClassID(&clsid)) && clsid == CLSID_DirectVobSubAuto;
        filter->Release();
    }
    return found;
}

// The file of the movie the graph plays: the source's.
std::string moviePath(IFilterGraph* graph) {
    if (!graph)
        return {};
    ComPtr<IEnumFilters> walker;
    if (FAILED(graph->EnumFilters(walker.put())) || !walker)
        return {};
    IBaseFilter* filter = nullptr;
    ULONG fetched = 0;
    std::string path;
    while (path.empty() && walker->Next(1, &filter, &fetched) == S_OK && fetched == 1) {
        ComPtr<IFileSourceFilter> source;
        if (SUCCEEDED(filter->QueryInterface(IID_IFileSourceFilter, source.putVoid())) && source) {
            LPOLESTR name = nullptr;
            if (SUCCEEDED(source->GetCurFile(&name, nullptr)) && name) {
                path = platform::com::bytesFromWide(platform::com::wideView(name));
                platform::com::CoTaskMemFree(name);
            }
        }
        filter->Release();
    }
    return path;
}

// The ".sub" member of a RAR archive, read through "unrar.dll" beside this module.
std::optional<std::vector<uint8_t>> subFromRar(const std::string& archive, std::string& why) {
    const std::string folder =
        core::extractFilePath(platform::com::modulePathOf(reinterpret_cast<const void*>(&subFromRar)));
    const std::string library = core::resolvePath(core::joinPath(folder, "unrar.dll"));
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = "unrar.dll is missing";
        return std::nullopt;
    }
    const auto list = reinterpret_cast<RarListMembersFn>(dlsym(handle, "RarListMembers"));
    const auto read = reinterpret_cast<RarReadMemberFn>(dlsym(handle, "RarReadMember"));
    std::optional<std::vector<uint8_t>> bytes;
    if (!list || !read) {
        why = "unrar.dll cannot read archives";
    } else {
        const int count = list(archive.c_str(), nullptr, 0);
        std::vector<RarMemberInfo> members(static_cast<size_t>(std::clamp(count, 0, 4096)));
        if (count <= 0 || list(archive.c_str(), members.data(), static_cast<int>(members.size())) < 0) {
            why = "the archive cannot be read";
        } else {
            for (const RarMemberInfo& member : members) {
                const std::string name = member.name;
                if (member.directory || name.size() < 4 ||
                    !std::equal(name.end() - 4, name.end(), ".sub",
                                [](char a, char b) { return std::tolower(a) == b; }))
                    continue;
                if (member.size > static_cast<unsigned long long>(kMaxSubBytes)) {
                    why = "the subtitle file is too large";
                    break;
                }
                std::vector<uint8_t> data(static_cast<size_t>(member.size));
                unsigned long long size = 0;
                if (read(archive.c_str(), member.name, data.data(), data.size(), &size) != RAR_OK) {
                    why = "the archive's subtitle file cannot be read";
                    break;
                }
                data.resize(static_cast<size_t>(std::min<unsigned long long>(size, data.size())));
                bytes = std::move(data);
                break;
            }
            if (!bytes && why.empty())
                why = "the archive holds no subtitle file";
        }
    }
    dlclose(handle);
    return bytes;
}

} // namespace

SubtitleSettings storedSettings() {
    SubtitleSettings settings;
    if (const auto language = reg::readDword(RootKey::CurrentUser, kSettingsKey, kLanguageValue))
        settings.language = *language == kNoLanguage ? -1 : static_cast<int>(*language);
    if (const auto hidden = reg::readDword(RootKey::CurrentUser, kSettingsKey, kHiddenValue))
        settings.hidden = *hidden != 0;
    if (const auto shift = reg::readDword(RootKey::CurrentUser, kSettingsKey, kShiftValue))
        settings.shiftPercent = std::clamp(static_cast<int>(*shift), 0, 90);
    return settings;
}

void storeSettings(const SubtitleSettings& settings) {
    reg::writeDword(RootKey::CurrentUser, kSettingsKey, kLanguageValue,
                    settings.language < 0 ? kNoLanguage : static_cast<uint32_t>(settings.language));
    reg::writeDword(RootKey::CurrentUser, kSettingsKey, kHiddenValue, settings.hidden ? 1 : 0);
    reg::writeDword(RootKey::CurrentUser, kSettingsKey, kShiftValue,
                    static_cast<uint32_t>(settings.shiftPercent));
}

SubtitleFilter::SubtitleFilter(IUnknown* outer)
    : CBaseFilter(kFilterName, outer, &lock_, CLSID_DirectVobSubAuto), settings_(storedSettings()),
      input_("DirectVobSub input", this, &lock_, u"Input", *this),
      output_("DirectVobSub output", this, &lock_, u"Output", kOutputBuffers, kBytesPerPixel) {}

SubtitleFilter::~SubtitleFilter() = default;

CUnknown* SubtitleFilter::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* filter = new (std::nothrow) SubtitleFilter(outer);
    if (!filter && hr)
        *hr = E_OUTOFMEMORY;
    return filter;
}

HRESULT SubtitleFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_ISubtitleSettings)
        return GetInterface(static_cast<ISubtitleSettings*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* SubtitleFilter::GetPin(int n) {
    if (n == 0)
        return &input_;
    if (n == 1)
        return &output_;
    return nullptr;
}

HRESULT SubtitleFilter::GetSettings(SubtitleSettings* settings) {
    if (!settings)
        return E_POINTER;
    std::lock_guard stream(stream_);
    *settings = settings_;
    return S_OK;
}

HRESULT SubtitleFilter::SetSettings(const SubtitleSettings* settings) {
    if (!settings)
        return E_POINTER;
    std::lock_guard stream(stream_);
    settings_ = *settings;
    settings_.shiftPercent = std::clamp(settings_.shiftPercent, 0, 90);
    storeSettings(settings_);
    chooseLanguage();
    return S_OK;
}

HRESULT SubtitleFilter::GetLanguages(std::vector<std::pair<std::string, int>>* languages) {
    if (!languages)
        return E_POINTER;
    std::lock_guard stream(stream_);
    languages->clear();
    if (idx_)
        for (const IdxLanguage& language : idx_->languages)
            languages->emplace_back(language.id, language.index);
    return S_OK;
}

HRESULT SubtitleFilter::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->pElems = static_cast<GUID*>(platform::com::CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_DirectVobSubPage;
    pages->cElems = 1;
    return S_OK;
}

size_t SubtitleFilter::subpictureCount() {
    std::lock_guard stream(stream_);
    return pictures_.size();
}

void SubtitleFilter::chooseLanguage() {
    pictures_.clear();
    if (!idx_)
        return;
    const int wanted = settings_.language >= 0 ? settings_.language : idx_->defaultIndex;
    std::string why;
    pictures_ = readSubpictures(*idx_, wanted, sub_, &why);
    if (pictures_.empty() && wanted != idx_->defaultIndex)
        pictures_ = readSubpictures(*idx_, idx_->defaultIndex, sub_, &why);
}

bool SubtitleFilter::loadSubtitles() {
    if (looked_)
        return loaded_;
    looked_ = true;
    const std::string movie = moviePath(GetFilterGraph());
    if (movie.empty())
        return false;
    const std::string index = core::resolvePath(core::changeFileExt(movie, ".idx"));
    if (!core::fileExists(index))
        return false; // no subtitles beside the movie: the filter stays out
    const std::string subFile = core::resolvePath(core::changeFileExt(movie, ".sub"));
    const std::string rar = core::resolvePath(core::changeFileExt(movie, ".rar"));
    std::string why;
    if (core::fileExists(subFile)) {
        if (core::fileSize(subFile) > kMaxSubBytes) {
            sayOnce(subFile, "the subtitle file is too large");
            return false;
        }
        const auto bytes = core::readFile(subFile);
        if (!bytes) {
            sayOnce(subFile, "the subtitle file cannot be read");
            return false;
        }
        sub_.assign(bytes->begin(), bytes->end());
    } else if (core::fileExists(rar)) {
        auto bytes = subFromRar(rar, why);
        if (!bytes) {
            sayOnce(rar, why);
            return false;
        }
        sub_ = std::move(*bytes);
    } else {
        return false;
    }
    const auto text = core::readFile(index);
    idx_ = text ? parseIdx(*text, &why) : std::nullopt;
    if (!idx_) {
        sayOnce(index, text ? why : "the index cannot be read");
        return false;
    }
    std::lock_guard stream(stream_);
    chooseLanguage();
    if (pictures_.empty()) {
        std::string reason;
        readSubpictures(*idx_, idx_->defaultIndex, sub_, &reason);
        sayOnce(index, reason.empty() ? "no subtitle can be read" : reason);
        return false;
    }
    loaded_ = true;
    return true;
}

HRESULT SubtitleFilter::checkInputType(const CMediaType& type) {
    if (type.majortype != filters::MEDIATYPE_Video || type.subtype != filters::MEDIASUBTYPE_RGB32 ||
        !filters::videoFormatOf(type))
        return S_FALSE;
    if (anotherSubtitleFilter(GetFilterGraph(), this))
        return S_FALSE;
    return loadSubtitles() ? S_OK : S_FALSE;
}

HRESULT SubtitleFilter::inputConnected(const CMediaType& type) {
    const auto format = filters::videoFormatOf(type);
    if (!format)
        return VFW_E_TYPE_NOT_ACCEPTED;
    width_ = format->width;
    height_ = std::abs(format->height);
    output_.setTypes({type});
    output_.setBufferSize(width_ * height_ * kBytesPerPixel);
    return S_OK;
}

HRESULT SubtitleFilter::receive(IMediaSample* sample) {
    if (!output_.IsConnected())
        return VFW_E_NOT_CONNECTED;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return E_POINTER;
    const auto length = static_cast<size_t>(std::max<LONG>(sample->GetActualDataLength(), 0));
    const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    if (length < pixels * kBytesPerPixel)
        return S_OK;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    {
        std::lock_guard stream(stream_);
        frame_.resize(pixels);
        std::memcpy(frame_.data(), data, pixels * kBytesPerPixel);
        if (timed && !settings_.hidden && idx_)
            for (const Subpicture& picture : pictures_)
                if (picture.start <= start && start < picture.stop)
                    drawSubpicture(picture, idx_->width, idx_->height, frame_.data(), width_, height_,
                                   settings_.shiftPercent);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(frame_.data());
    return output_.deliverBytes(
        std::span<const uint8_t>(bytes, pixels * kBytesPerPixel),
        timed ? std::optional<filters::SampleTimes>(filters::SampleTimes{start, stop}) : std::nullopt, false);
}

HRESULT SubtitleFilter::endOfStream() {
    return output_.IsConnected() ? output_.DeliverEndOfStream() : S_OK;
}

void SubtitleFilter::beginFlush() {
    if (output_.IsConnected())
        output_.DeliverBeginFlush();
}

void SubtitleFilter::endFlush() {
    if (output_.IsConnected())
        output_.DeliverEndFlush();
}

void SubtitleFilter::newSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (output_.IsConnected())
        output_.DeliverNewSegment(start, stop, rate);
}

} // namespace outside::dvobsub
