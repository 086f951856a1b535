#include "outside/divx_codec/codec_settings.h"

#include "platform/core/registry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace divx_codec {

namespace reg = platform::core::registry;

namespace {

constexpr auto Root = platform::core::RootKey::CurrentUser;
constexpr int LowestQuantizer = 1;
constexpr int HighestQuantizer = 31;
constexpr int MaxThreads = 16;
constexpr float TwoPassBlur = 0.5f;
constexpr float TwoPassCompression = 0.7f;
constexpr double SecondPassToleranceSeconds = 5.0;
constexpr double SecondPassToleranceShare = 0.02;
constexpr int NoiseReductionPerStep = 6;

uint32_t dword(const char* name, uint32_t fallback) {
    return reg::readDword(Root, RegistryKey, name).value_or(fallback);
}

int clampQuantizer(uint32_t q) {
    return static_cast<int>(std::clamp<uint32_t>(q, LowestQuantizer, HighestQuantizer));
}

// The quality-based mode's quantizer: 100 % gives the finest quantizer 2, 0 % the coarsest 31.
int quantizerForQuality(uint32_t quality) {
    const double q = HighestQuantizer - (HighestQuantizer - 2) * std::min<uint32_t>(quality, 100) / 100.0;
    return std::clamp(static_cast<int>(std::lround(q)), 2, HighestQuantizer);
}

int keyFramesEvery(double frames) {
    return static_cast<int>(std::clamp(std::llround(frames), 1LL, static_cast<long long>(INT_MAX / 2)));
}

// Quantization, mode decision and motion search for the performance/quality choice (1 fastest ..
// 5 slowest).
void applyEffort(uint32_t quality, EncoderParams& p) {
    const uint32_t level = std::clamp<uint32_t>(quality, 1, 5);
    p.trellis = level >= 2;
    p.codedBlockChoice = level >= 2;
    p.fourMotionVectors = level >= 3;
    p.transformCompare = level >= 4;
    p.macroblockDecision = level >= 5 ? 2 : 0;
}

// The first of two passes only measures: the second pass plans from each frame's texture, motion and
// header bits. Below the slowest level the encoder's plain decisions measure them well enough; the
// slowest level's rate-distortion mode decision strays from such a plan (0.6 dB lost on grainy
// film), so there the first pass keeps trellis quantization and the coded-block choice, which change
// the bits most, and leaves out only the mode decision, four vectors and the transformed compare.
void lightenForMeasuring(uint32_t quality, EncoderParams& p) {
    const bool slowest = std::clamp<uint32_t>(quality, 1, 5) == 5;
    p.macroblockDecision = 0;
    p.fourMotionVectors = false;
    p.transformCompare = false;
    p.trellis = p.trellis && slowest;
    p.codedBlockChoice = p.codedBlockChoice && slowest;
}

} // namespace

RegistrySettings readRegistrySettings() {
    RegistrySettings s;
    s.quality = dword("Quality", s.quality);
    s.deinterlace = dword("Deinterlace", 0) == 1;
    s.haveCpuLimit = dword("Have CPU limit", 0) == 1;
    s.cpuLimit = dword("CPU limit", s.cpuLimit);
    s.maxQuantizer = dword("Max Quantizer", s.maxQuantizer);
    s.minQuantizer = dword("Min Quantizer", s.minQuantizer);
    s.rcPeriod = dword("RC Period", s.rcPeriod);
    s.reactionPeriod = dword("RC Reaction Period", s.reactionPeriod);
    s.reactionRatio = dword("RC Reaction Ratio", s.reactionRatio);
    s.vbrQuality = dword("VBR Quality", s.vbrQuality);
    s.postprocessing = dword("Postprocessing", s.postprocessing);
    return s;
}

DialogSettings defaultDialogSettings(CodecFamily family) {
    DialogSettings d;
    if (family != CodecFamily::DivX4)
        d.keyInterval = 10;
    return d;
}

// How the settings reach the encoder:
//  - bit rate (kbit/s of 1000 bits) -> the target bit rate; in the quality-based mode there is none.
//  - DivX 4 key-frame interval in frames, DivX 3 in seconds (times the frame rate) -> the largest
//    distance between key frames; scene changes still start a key frame earlier.
//  - rate mode -> one-pass average bit rate, constant quantizer from "VBR Quality", or the encoder's
//    two-pass rate control (the first pass writes its statistics to the log, the second reads them).
//  - "Max Quantizer" / "Min Quantizer" -> the quantizer range (1..31), in every mode.
//  - One pass: "RC Period" (frames) -> the rate-control buffer, the bits of that many frames at the
//    target rate; "RC Reaction Period" (frames) -> quantizer blur over time (10 frames give 0.5, longer
//    periods smooth more, up to 1); "RC Reaction Ratio" (down/up) -> quantizer compression (20 gives
//    0.5; small ratios hold the quantizer steadier, large ones follow the rate closely). The spent
//    bits may run one second of the rate ahead of or behind the plan before the quantizer is pulled.
//  - Two passes: the reaction values are one-pass settings and do not apply. The second pass plans
//    the whole movie from the first pass's log with quantizer compression 0.7 (busy scenes get more of
//    the bits than at 0.5: each frame nearer its own best quantizer, about +0.05 dB) and blur 0.5, and
//    lets the spent bits run from the plan by up to five seconds of the rate, or 2 % of the movie's
//    length when that is less (a short clip still ends on its rate). A tight leash (an eighth of a
//    second) made every key frame push the next frames to the coarsest quantizer and back, which cost
//    0.4 dB on grainy film at 900 kbit/s. A target below what the first pass's motion vectors and
//    headers alone take (a few kbit/s) is raised to a quarter above that, the least the movie can be.
//  - No B-frames are made: every frame is one packet in order, which AVI players expect.
//  - "Quality" 1..5 -> quantization, mode decision and motion search, each level dearer and better
//    than the one before. Measured on 40 s of grainy photographs at 640x352, 900 kbit/s, second pass
//    from the same first pass (processor time of the second pass relative to level 1):
//      1 the encoder's plain decisions                                        38.94 dB  1.0
//      2 + trellis quantization, rate-distortion choice of the coded blocks   39.07 dB  1.8
//        (the codec's own default while the key holds no "Quality")
//      3 + four motion vectors per macroblock                                 39.08 dB  1.8
//      4 + sub-pixel search and mode choice on transformed (SATD) differences 39.11 dB  1.8
//      5 + rate-distortion macroblock decision                                39.15 dB  3.2
//    SSIM 0.9274, 0.9276, 0.9277, 0.9285, 0.9287. The full-pixel search stays on plain differences
//    and with the usual predictors: transformed there, or with more predictors, it cost time and gave
//    nothing measurable.
//    Both passes of a whole job (10 minutes of grainy photographs from a DVD title, 640x352, 900 kbit/s;
//    processor time of both passes relative to level 1):
//      1  43.15 dB  SSIM 0.9737  1.0        4  43.41 dB  SSIM 0.9743  1.4
//      2  43.36 dB  SSIM 0.9740  1.3        5  43.47 dB  SSIM 0.9743  2.4
//      3  43.39 dB  SSIM 0.9740  1.4
//    The first of two passes makes the plain decisions below the slowest level and keeps trellis
//    quantization and the coded-block choice at the slowest (see lightenForMeasuring): the second
//    pass ends on the same rate, and the first pass takes about half the time of the second.
//    Quarter-pixel motion and global motion are never used: many players of the format do not
//    decode them.
//  - "Deinterlace" -> a vertical blend of the two fields before encoding.
//  - Encoder threads: half the usable processors (affinity and CPU quota) for the plain decisions,
//    all of them with trellis quantization or the rate-distortion mode decision. "Have CPU limit" / "CPU
//    limit" -> that share of the usable processors instead.
//  - "Postprocessing" is a decoder setting; encoding does not use it.
//  - DivX 3 crispness 0..100 -> DCT-domain noise reduction of strength 6 x (100 - crispness): 100
//    keeps all detail, lower values shrink the small coefficients that grain and fine texture make,
//    a softer, steadier picture with fewer blocks at low rates. MS-MPEG-4 v3 has one quantizer per
//    picture, so nothing that changes the quantizer inside a picture (such as spatial masking) may
//    be used: its decoders would read the blocks with the wrong quantizer. Fast-Motion searches
//    farther and reacts sooner to scene changes than Low-Motion.
EncoderParams mapSettings(CodecFamily family, const RegistrySettings& registry, const DialogSettings& dialog,
                          double framesPerSecond, int processors) {
    EncoderParams p;
    const double fps = framesPerSecond > 0 ? framesPerSecond : 25.0;
    const int64_t bitRate = static_cast<int64_t>(std::max(dialog.bitrateKbps, 1)) * 1000;
    p.bitRate = bitRate;
    p.threads = std::clamp(processors, 1, MaxThreads);
    if (family == CodecFamily::DivX4) {
        p.gopSize = keyFramesEvery(dialog.keyInterval);
        p.mode = dialog.mode;
        p.logPath = dialog.logPath;
        p.qmin = clampQuantizer(std::min(registry.minQuantizer, registry.maxQuantizer));
        p.qmax = clampQuantizer(std::max(registry.minQuantizer, registry.maxQuantizer));
        if (p.mode == RateMode::OnePassQuality) {
            p.bitRate = 0;
            p.constantQuantizer = std::clamp(quantizerForQuality(registry.vbrQuality), p.qmin, p.qmax);
        }
        if (p.mode == RateMode::OnePass && registry.rcPeriod > 0) {
            const double bits = static_cast<double>(bitRate) * registry.rcPeriod / fps;
            p.bufferSize = static_cast<int>(std::min(bits, static_cast<double>(INT_MAX)));
        }
        if (p.mode == RateMode::TwoPassFirst || p.mode == RateMode::TwoPassSecond) {
            p.qblur = TwoPassBlur;
            p.qcompress = TwoPassCompression;
            if (p.mode == RateMode::TwoPassSecond) {
                p.rateToleranceSeconds = SecondPassToleranceSeconds;
                p.rateToleranceShare = SecondPassToleranceShare;
            }
        } else {
            p.qblur = std::clamp(static_cast<float>(registry.reactionPeriod) / 20.0f, 0.0f, 1.0f);
            p.qcompress =
                std::clamp(0.5f + (20.0f - static_cast<float>(registry.reactionRatio)) / 150.0f, 0.1f, 0.9f);
        }
        applyEffort(registry.quality, p);
        if (p.mode == RateMode::TwoPassFirst)
            lightenForMeasuring(registry.quality, p);
        // The encoder's slices share the processors with the decoding and filtering that feed it:
        // half of them keep up with the plain decisions, and more only wait to be woken. Trellis
        // quantization and the rate-distortion mode decision keep every processor busy.
        if (!p.trellis && p.macroblockDecision < 2)
            p.threads = std::clamp(processors / 2, 1, MaxThreads);
        p.deinterlace = registry.deinterlace;
        if (registry.haveCpuLimit) {
            const long share = std::lround(processors * std::min<uint32_t>(registry.cpuLimit, 100) / 100.0);
            p.threads = std::clamp(static_cast<int>(share), 1, MaxThreads);
        }
        return p;
    }
    p.msmpeg4 = true;
    p.threads = 1;
    p.gopSize = keyFramesEvery(dialog.keyInterval * fps);
    const int crisp = std::clamp(dialog.crispness, 0, 100);
    p.noiseReduction = NoiseReductionPerStep * (100 - crisp);
    // MS-MPEG-4 v3 has one motion vector per macroblock.
    p.macroblockDecision = 2;
    p.trellis = true;
    if (family == CodecFamily::DivX3Fast) {
        p.meRange = 64;
        p.diaSize = 2;
        p.sceneChangeThreshold = -200;
    }
    return p;
}

} // namespace divx_codec
