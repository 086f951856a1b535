#include "outside/bbdmux/timed_piece.h"

#include "outside/dvd_audio/file_set_source.h"
#include "outside/dvd_audio/silent_ac3.h"
#include "outside/dvd_audio/substream_reader.h"
#include "outside/dvd_audio/title_origin.h"
#include "outside/dvd_audio/wav_file.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/dshow/filters/audio_framer.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

namespace outside::bbdmux {

using namespace outside::dvd_audio;
namespace filters = platform::dshow::filters;
namespace core = platform::core;

namespace {

constexpr int64_t kFrameSamples = 1536;
constexpr int64_t kPtsClock = 90'000;
constexpr int64_t kLongestGapSeconds = 10;
constexpr int64_t kLongestLeadSeconds = 600;
constexpr int64_t kToleranceDivisor = 1000; // one millisecond

// Places frames on the title's clock, counted in samples from the first picture.
class Placer {
public:
    Placer(OutputFile& out, std::string target, int64_t origin, size_t index)
        : out_(out), target_(std::move(target)), origin_(origin), first_(index == 0) {}

    bool frame(const filters::TimedAudioFrame& f, std::string& error) {
        const auto layout = ac3Layout(f.bytes);
        if (!layout)
            return true; // no frame the decoder could take either
        layout_ = *layout;
        rate_ = f.sampleRate;
        const int64_t tolerance = rate_ / kToleranceDivisor;
        const int64_t at = f.pts ? position(*f.pts) : cursor_.value_or(0);
        if (!cursor_) {
            if (!first_) {
                cursor_ = at;
            } else {
                cursor_ = 0;
                if (at > kLongestLeadSeconds * rate_)
                    shift_ -= at; // a clock the first picture does not share: start at the frame
            }
        }
        const int64_t target = f.pts ? position(*f.pts) : *cursor_;
        const int64_t ahead = target - *cursor_;
        if (!placedAny_ && first_ && ahead < -tolerance) {
            // Before the first picture: dropped; the frame that straddles it leaves silence.
            ++report_.droppedFrames;
            if (target + kFrameSamples > *cursor_)
                return silence(target + kFrameSamples - *cursor_, error);
            return true;
        }
        if (ahead > kLongestGapSeconds * rate_ || ahead < -tolerance) {
            shift_ -= ahead; // the clock restarted: go on without a break
        } else if (ahead > tolerance) {
            if (!silence(ahead, error))
                return false;
        }
        placedAny_ = true;
        *cursor_ += kFrameSamples;
        return out_.append(f.bytes) || writeFailed(error);
    }

    // The piece ends where the next file's first frame begins.
    bool end(std::optional<int64_t> nextPts, std::string& error) {
        if (!nextPts || !cursor_ || rate_ == 0)
            return true;
        const int64_t ahead = position(*nextPts) - *cursor_;
        if (ahead > rate_ / kToleranceDivisor && ahead <= kLongestGapSeconds * rate_)
            return silence(ahead, error);
        return true;
    }

    const PieceReport& report() const { return report_; }

private:
    int64_t position(int64_t pts) const {
        const int64_t ticks = pts - origin_;
        const int64_t scaled = ticks * rate_;
        const int64_t rounded = (scaled >= 0 ? scaled + kPtsClock / 2 : scaled - kPtsClock / 2) / kPtsClock;
        return rounded + shift_;
    }
    bool silence(int64_t samples, std::string& error) {
        buffer_.clear();
        if (!silent_.append(layout_, samples, buffer_, error))
            return false;
        report_.silenceSamples += samples;
        *cursor_ += samples;
        placedAny_ = true;
        return out_.append(buffer_) || writeFailed(error);
    }
    bool writeFailed(std::string& error) const {
        error = cannotWriteMessage(target_);
        return false;
    }

    OutputFile& out_;
    std::string target_;
    int64_t origin_;
    bool first_;
    int rate_ = 0;
    Ac3Layout layout_;
    std::optional<int64_t> cursor_;
    int64_t shift_ = 0;
    bool placedAny_ = false;
    SilentAc3 silent_;
    std::vector<uint8_t> buffer_;
    PieceReport report_;
};

} // namespace

std::vector<std::string> titleFilesOf(const std::string& vob, size_t& index) {
    index = 0;
    const std::string list = core::extractFilePath(vob) + "vob.lst";
    std::ifstream in(core::resolvePath(list), std::ios::binary);
    std::vector<std::string> files;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            files.push_back(line);
    }
    const std::string self = core::resolvePath(vob);
    for (size_t i = 0; i < files.size(); ++i) {
        if (core::resolvePath(files[i]) == self) {
            index = i;
            return files;
        }
    }
    return {vob};
}

bool writeTimedPiece(const std::vector<std::string>& titleFiles, size_t index, uint8_t subStream,
                     const std::string& target, PieceReport& report, std::string& error) {
    const std::string& vob = titleFiles.at(index);
    std::vector<std::string> files = {vob};
    if (index + 1 < titleFiles.size() && core::fileExists(core::resolvePath(titleFiles[index + 1])))
        files.push_back(titleFiles[index + 1]);
    FileSetSource source;
    if (!source.open(files)) {
        error = source.error();
        return false;
    }
    std::error_code sizeError;
    const auto boundary = static_cast<int64_t>(std::filesystem::file_size(core::resolvePath(vob), sizeError));
    SubStreamReader reader(source, subStream);
    if (!reader.open(error)) {
        error = vob + ": " + error;
        return false;
    }
    const auto first = titleOrigin(titleFiles.front());
    const int64_t origin = first ? *first : titleOrigin(source, reader);
    OutputFile out(target);
    if (!out.isOpen()) {
        error = cannotWriteMessage(target);
        return false;
    }
    Placer placer(out, target, origin, index);
    filters::AudioFramer framer;
    std::vector<filters::TimedAudioFrame> frames;
    std::optional<int64_t> nextPts;
    bool inNext = false;
    std::span<const uint8_t> payload;
    while (!inNext) {
        const auto step = reader.next(payload);
        if (step == SubStreamReader::Step::End)
            break;
        if (step == SubStreamReader::Step::Error) {
            error = "The file " + vob + " could not be read to its end.";
            return false;
        }
        frames.clear();
        framer.push(payload, reader.pts(), frames, reader.position());
        for (const auto& frame : frames) {
            if (frame.tag >= boundary) {
                inNext = true;
                nextPts = frame.pts;
                break;
            }
            if (!placer.frame(frame, error))
                return false;
        }
    }
    if (!placer.end(nextPts, error))
        return false;
    report = placer.report();
    report.damage = reader.sawDamage();
    if (!out.commit()) {
        error = cannotWriteMessage(target);
        return false;
    }
    return true;
}

} // namespace outside::bbdmux
