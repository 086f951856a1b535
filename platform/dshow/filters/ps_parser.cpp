#include "platform/dshow/filters/ps_parser.h"

#include <algorithm>

namespace platform::dshow::filters {

namespace {

constexpr size_t kResyncChunk = 64 * 1024;
constexpr uint8_t kDefaultVideoId = kFirstVideoId;
constexpr int kNoOutput = -1;
constexpr int64_t kPtsClock = 90'000;

bool isPackStartAt(std::span<const uint8_t> bytes, size_t i) {
    return bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == kPackStartCode;
}

} // namespace

struct ProgramStreamParser::ScannedStream {
    StreamKind kind = StreamKind::Video;
    uint8_t id = 0;
    std::optional<int64_t> firstPts;
    std::optional<LpcmFormat> lpcm;
    int packets = 0;
};

namespace {
// An audio stream must be met in this many packets of the scan: one damaged packet whose sub-stream id
// or stream id was hit names a stream that is not there.
constexpr int kAudioPacketsToOffer = 2;
} // namespace

ProgramStreamParser::ProgramStreamParser(ByteSource& source) : ProgramStreamParser(source, Options{}) {}

ProgramStreamParser::ProgramStreamParser(ByteSource& source, Options options)
    : source_(source), options_(options), window_(source) {
    outputById_.fill(kNoOutput);
}

bool ProgramStreamParser::open() {
    window_.seek(0);
    needPack_ = true;
    damaged_ = false;
    packs_ = 0;
    error_.clear();
    std::vector<ScannedStream> found;
    std::optional<int64_t> firstStamp;
    int64_t latestStamp = 0;
    const auto deadline = std::chrono::steady_clock::now() + options_.scanBudget;
    const auto scanning = [&] {
        const int64_t at = window_.position();
        if (at < options_.scanLimit)
            return true;
        return at < options_.scanMaxBytes && firstStamp &&
               latestStamp - *firstStamp < options_.scanSeconds * kPtsClock &&
               std::chrono::steady_clock::now() < deadline;
    };
    while (scanning()) {
        ElementaryUnit unit;
        int64_t position = 0;
        int64_t skipped = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::Pending)
            continue;
        // Past the bytes it must examine, a failing source ends the scan with what it found.
        if (step == Step::Error && window_.position() >= options_.scanLimit)
            break;
        if (step == Step::Error) {
            error_ = "The source could not be read.";
            return false;
        }
        if (step == Step::End)
            break;
        if (unit.pts) {
            if (!firstStamp)
                firstStamp = unit.pts;
            latestStamp = std::max(latestStamp, *unit.pts);
        }
        auto known = std::find_if(found.begin(), found.end(), [&](const auto& s) { return s.id == unit.id; });
        if (known == found.end())
            known = found.insert(found.end(), ScannedStream{unit.kind, unit.id, unit.pts, unit.lpcm});
        if (!known->firstPts)
            known->firstPts = unit.pts;
        ++known->packets;
    }
    if (packs_ == 0) {
        error_ = "No MPEG program stream was found at the start of the source.";
        return false;
    }
    buildOutputs(found);
    seek(0);
    return true;
}

void ProgramStreamParser::buildOutputs(const std::vector<ScannedStream>& found) {
    outputs_.clear();
    outputById_.fill(kNoOutput);
    const auto video =
        std::find_if(found.begin(), found.end(), [](const auto& s) { return s.kind == StreamKind::Video; });
    ParserOutput first{streamOutputName(StreamKind::Video), {StreamKind::Video, {}}, kDefaultVideoId, {}};
    if (video != found.end()) {
        first.id = video->id;
        first.firstPts = video->firstPts;
    }
    outputs_.push_back(first);

    // Audio in DVD stream number order; a stable sort keeps the order of first appearance for ties.
    std::vector<ScannedStream> audio;
    std::copy_if(found.begin(), found.end(), std::back_inserter(audio), [](const auto& s) {
        return s.kind != StreamKind::Video && s.packets >= kAudioPacketsToOffer;
    });
    std::stable_sort(audio.begin(), audio.end(), [](const auto& a, const auto& b) {
        return dvdAudioStreamNumber(a.id) < dvdAudioStreamNumber(b.id);
    });
    for (const auto& stream : audio) {
        StreamFormat format{stream.kind, stream.lpcm.value_or(LpcmFormat{})};
        outputs_.push_back({streamOutputName(stream.kind), format, stream.id, stream.firstPts});
    }
    for (size_t i = 0; i < outputs_.size(); ++i)
        outputById_[outputs_[i].id] = static_cast<int>(i);
}

void ProgramStreamParser::seek(int64_t offset) {
    if (const auto size = source_.length())
        offset = std::min(offset, *size);
    window_.seek(std::max<int64_t>(offset, 0));
    needPack_ = true;
    fresh_.assign(outputs_.size(), true);
    trimTime_.reset();
    trimPending_.assign(outputs_.size(), false);
}

ParseStatus ProgramStreamParser::next(ParsedPacket& packet) {
    int64_t skipped = 0;
    for (;;) {
        ElementaryUnit unit;
        int64_t position = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::Pending)
            return ParseStatus::Pending;
        if (step == Step::End)
            return ParseStatus::EndOfStream;
        if (step == Step::Error)
            return ParseStatus::Error;
        const int output = outputById_[unit.id];
        if (output == kNoOutput || unit.kind != outputs_[static_cast<size_t>(output)].format.kind) {
            skipped += static_cast<int64_t>(unit.payload.size());
            continue;
        }
        const auto index = static_cast<size_t>(output);
        if (trimPending_[index]) {
            if (!trimToTime(unit, outputs_[index].format)) {
                skipped += static_cast<int64_t>(unit.payload.size());
                continue;
            }
            trimPending_[index] = false;
        }
        packet.output = index;
        packet.payload = unit.payload;
        packet.pts = unit.pts;
        packet.position = position;
        packet.lpcm = unit.lpcm;
        packet.discontinuity = fresh_[index];
        fresh_[index] = false;
        return ParseStatus::Packet;
    }
}

ProgramStreamParser::Step ProgramStreamParser::readUnit(ElementaryUnit& unit, int64_t& unitPosition,
                                                        int64_t& skipped) {
    for (;;) {
        if (skipped >= options_.skipPerCall)
            return Step::Pending;
        if (needPack_) {
            const Step found = resync(skipped);
            if (found != Step::Unit)
                return found;
        }
        const auto head = window_.peek(kPesPrefixSize);
        if (head.size() < kStartCodeSize)
            return endStep();
        if (!isSystemStartCode(head)) {
            lostSync(skipped);
            continue;
        }
        const uint8_t code = head[3];
        if (code == kPackStartCode) {
            const auto bytes = window_.peek(kMaxPackHeaderSize);
            const size_t size = packHeaderSize(bytes);
            if (size == 0 && bytes.size() < kMaxPackHeaderSize)
                return endStep();
            if (size == 0) {
                lostSync(skipped);
                continue;
            }
            ++packs_;
            packStart_ = window_.position();
            window_.advance(size);
            skipped += static_cast<int64_t>(size);
            continue;
        }
        if (code == kProgramEndCode) {
            window_.advance(kStartCodeSize);
            skipped += static_cast<int64_t>(kStartCodeSize);
            continue;
        }
        if (head.size() < kPesPrefixSize)
            return endStep();
        const size_t total = kPesPrefixSize + static_cast<size_t>((head[4] << 8) | head[5]);
        const auto packet = window_.peek(total);
        if (packet.size() < total)
            return endStep(); // cut off by the end of the stream
        unitPosition = window_.position();
        window_.advance(total); // the peeked bytes stay valid until the next peek
        if (const auto pes = parsePesPacket(packet)) {
            if (const auto found = elementaryUnit(*pes)) {
                unit = *found;
                return Step::Unit;
            }
        }
        skipped += static_cast<int64_t>(total);
    }
}

void ProgramStreamParser::lostSync(int64_t& skipped) {
    damaged_ = true;
    needPack_ = true;
    window_.advance(1);
    skipped += 1;
}

// Looks for the next valid pack header from the position; Unit when the position is now at one.
ProgramStreamParser::Step ProgramStreamParser::resync(int64_t& skipped) {
    for (;;) {
        if (skipped >= options_.skipPerCall)
            return Step::Pending;
        const auto bytes = window_.peek(kResyncChunk);
        const bool atEnd = bytes.size() < kResyncChunk;
        if (bytes.size() < kStartCodeSize) {
            window_.advance(bytes.size());
            return endStep();
        }
        size_t i = 0;
        bool refill = false;
        for (; i + kStartCodeSize <= bytes.size(); ++i) {
            if (!isPackStartAt(bytes, i))
                continue;
            const auto rest = bytes.subspan(i);
            if (rest.size() < kMaxPackHeaderSize && !atEnd) {
                refill = true; // the header runs past the peeked bytes: peek again from here
                break;
            }
            if (packHeaderSize(rest) != 0) {
                window_.advance(i);
                skipped += static_cast<int64_t>(i);
                needPack_ = false;
                return Step::Unit;
            }
        }
        if (!refill && atEnd) {
            window_.advance(bytes.size());
            return endStep();
        }
        const size_t consumed = refill ? i : bytes.size() - (kStartCodeSize - 1);
        window_.advance(consumed);
        skipped += static_cast<int64_t>(consumed);
    }
}

std::optional<int64_t> ProgramStreamParser::durationPts() {
    const auto size = source_.length();
    if (!size || outputs_.empty())
        return std::nullopt;
    // The reference stream: the first audio output, or the video when there is no audio.
    const size_t reference = outputs_.size() > 1 ? 1 : 0;
    const auto first = outputs_[reference].firstPts;
    if (!first)
        return std::nullopt;

    const int64_t savedPosition = window_.position();
    const bool savedNeedPack = needPack_;
    const bool savedDamage = damaged_;
    const auto savedFresh = fresh_;
    window_.seek(std::max<int64_t>(*size - options_.tailScan, 0));
    needPack_ = true;
    std::optional<int64_t> last;
    for (;;) {
        ElementaryUnit unit;
        int64_t position = 0;
        int64_t skipped = 0;
        const Step step = readUnit(unit, position, skipped);
        if (step == Step::End || step == Step::Error)
            break;
        if (step == Step::Unit && unit.pts && outputById_[unit.id] == static_cast<int>(reference))
            last = unit.pts;
    }
    window_.seek(savedPosition);
    needPack_ = savedNeedPack;
    damaged_ = savedDamage;
    fresh_ = savedFresh;
    if (!last || *last <= *first)
        return std::nullopt;
    return *last - *first;
}

int64_t streamOrigin(const std::vector<ParserOutput>& outputs) {
    std::optional<int64_t> earliest;
    for (const ParserOutput& output : outputs) {
        if (!output.firstPts)
            continue;
        if (output.format.kind == StreamKind::Video)
            return *output.firstPts;
        if (!earliest || *output.firstPts < *earliest)
            earliest = output.firstPts;
    }
    return earliest.value_or(0);
}

} // namespace platform::dshow::filters
