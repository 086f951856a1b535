#include "outside/vobsub/extractor.h"
#include "outside/vobsub/idx_writer.h"
#include "outside/vobsub/title_ifo.h"
#include "outside/vobsub/vob_scan.h"
#include "outside/vobsub/vobsub_error.h"
#include "outside/vobsub/vsp_config.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <optional>

namespace outside::vobsub {

namespace core = platform::core;

namespace {

constexpr int MaxVobFiles = 99;

std::string readSmallFile(const std::string& path, size_t limit, const std::string& what) {
    if (!core::fileExists(path))
        throw VobSubError("cannot open the " + what + " " + path);
    const int64_t size = core::fileSize(path);
    if (size < 0)
        throw VobSubError("cannot open the " + what + " " + path);
    if (static_cast<uint64_t>(size) > limit)
        throw VobSubError("the " + what + " " + path + " is too large to be one");
    // The limit holds for the read too, should the file grow after its size was taken.
    std::optional<std::string> bytes = core::readFile(path, static_cast<int64_t>(limit));
    if (!bytes)
        throw VobSubError("cannot read the " + what + " " + path);
    return std::move(*bytes);
}

// The chosen streams, in the order chosen; two positions that name one stream give one block.
std::vector<IdxStream> chosenStreams(const VspConfig& config, const TitleIfo& title) {
    std::vector<IdxStream> chosen;
    for (const int position : config.streams) {
        if (position >= static_cast<int>(title.subpictures.size()))
            throw VobSubError("vsp.ini: stream " + std::to_string(position) +
                              " is not in the IFO file, which lists " +
                              std::to_string(title.subpictures.size()) + " subpicture streams");
        const SubpictureStream& stream = title.subpictures[static_cast<size_t>(position)];
        if (std::none_of(chosen.begin(), chosen.end(),
                         [&](const IdxStream& s) { return s.stream.number == stream.number; }))
            chosen.push_back({stream, {}});
    }
    return chosen;
}

} // namespace

std::vector<std::string> titleVobFiles(const std::string& ifo) {
    const std::string folder = core::extractFilePath(ifo);
    std::string base = core::changeFileExt(core::extractFileName(ifo), "");
    while (!base.empty() && base.back() >= '0' && base.back() <= '9')
        base.pop_back();
    std::vector<std::string> files;
    for (int n = 1; n <= MaxVobFiles; ++n) {
        const std::string vob = folder + base + std::to_string(n) + ".VOB";
        if (!core::fileExists(vob))
            break;
        files.push_back(core::resolvePath(vob));
    }
    return files;
}

ExtractionResult extractSubtitles(const std::string& vspIniPath) {
    const VspConfig config = parseVspConfig(readSmallFile(vspIniPath, MaxVspIniSize, "control file"));
    const TitleIfo title = parseTitleIfo(readSmallFile(config.ifo, MaxIfoSize, "IFO file"));
    std::vector<IdxStream> streams = chosenStreams(config, title);
    ExtractionResult result;
    result.vobs = titleVobFiles(config.ifo);
    if (result.vobs.empty())
        throw VobSubError("no VOB file of the title beside " + config.ifo);

    const std::string subPath = config.destination + ".sub";
    const std::string idxPath = config.destination + ".idx";
    core::AtomicFile sub(subPath);
    core::AtomicFile idx(idxPath);
    if (!sub.isOpen() || !idx.isOpen())
        throw VobSubError("cannot write " + (sub.isOpen() ? idxPath : subPath));
    std::vector<int> numbers;
    for (const IdxStream& s : streams)
        numbers.push_back(s.stream.number);
    uint64_t written = 0;
    bool writeFailed = false;
    VobScanner scanner(title, numbers, [&](const SubpicturePacket& packet) {
        if (packet.begins) {
            auto it = std::find_if(streams.begin(), streams.end(),
                                   [&](const IdxStream& s) { return s.stream.number == packet.stream; });
            it->entries.push_back({packet.time, written, packet.vobId, packet.cellId, packet.cellStart});
            ++result.subtitles;
        }
        writeFailed = !sub.write(packet.pack) || writeFailed;
        written += packet.pack.size();
        ++result.packs;
    });
    scanVobFiles(result.vobs, scanner, &result.damagedPacks);
    if (writeFailed || !idx.write(idxText(title, streams)))
        throw VobSubError("cannot write " + (writeFailed ? subPath : idxPath));
    if (!sub.commit())
        throw VobSubError("cannot write " + subPath);
    if (!idx.commit())
        throw VobSubError("cannot write " + idxPath);
    return result;
}

} // namespace outside::vobsub
