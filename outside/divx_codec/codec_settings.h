#pragma once

// What the DivX codec drivers are told to do: the registry settings that the main program's codec page
// writes, the settings window's values, and how both become libavcodec encoder parameters.

#include <cstdint>
#include <string>

namespace divx_codec {

enum class CodecFamily {
    DivX4,     // MPEG-4 part 2, FourCC "DIVX"
    DivX3Low,  // MS-MPEG-4 v3 tuned for calm pictures, FourCC "DIV3"
    DivX3Fast, // MS-MPEG-4 v3 tuned for fast motion, FourCC "DIV3"
};

enum class RateMode { OnePass, OnePassQuality, TwoPassFirst, TwoPassSecond };

// The rate-mode texts of the settings window, in the order of RateMode.
inline constexpr const char* RateModeTexts[4] = {"1-pass", "1-pass quality-based", "2-pass, first pass",
                                                 "2-pass, second pass"};

inline constexpr const char* RegistryKey = "Software\\DivXNetworks\\DivX4Windows";

// The DivX 4 registry values, with the codec's defaults for absent ones.
struct RegistrySettings {
    uint32_t quality = 2; // 1 "Fastest" .. 5 "Slowest"
    bool deinterlace = false;
    bool haveCpuLimit = false;
    uint32_t cpuLimit = 100; // per cent of the processors
    uint32_t maxQuantizer = 31;
    uint32_t minQuantizer = 2;
    uint32_t rcPeriod = 2000;     // frames the rate is averaged over
    uint32_t reactionPeriod = 10; // frames
    uint32_t reactionRatio = 20;  // down/up reaction
    uint32_t vbrQuality = 85;     // 0..100, the quality-based mode's target
    uint32_t postprocessing = 30; // decoder side only
};

RegistrySettings readRegistrySettings();

// The settings window's values.
struct DialogSettings {
    int bitrateKbps = 800; // kbit/s of 1000 bits
    int keyInterval = 250; // DivX 4: frames; DivX 3: seconds
    RateMode mode = RateMode::OnePass;
    std::string logPath; // DivX 4 two-pass log
    int crispness = 100; // DivX 3: 0..100
};

DialogSettings defaultDialogSettings(CodecFamily family);

// The encoder parameters everything above maps to.
struct EncoderParams {
    bool msmpeg4 = false;
    int64_t bitRate = 0; // bits per second; 0 in the constant-quantizer mode
    int gopSize = 250;
    int qmin = 2;
    int qmax = 31;
    int constantQuantizer = 0; // > 0: every frame at this quantizer
    int bufferSize = 0;        // rate-control buffer in bits, 0 for the encoder's own
    // How far the spent bits may run from the plan before the quantizer is pulled back, in seconds
    // of the target rate.
    double rateToleranceSeconds = 1.0;
    // When > 0 (the second pass), the leash is at most this share of the movie's length, so that a
    // short movie still ends on its rate.
    double rateToleranceShare = 0.0;
    float qblur = 0.5f;
    float qcompress = 0.5f;
    int noiseReduction = 0; // DCT-domain smoothing strength, 0 none
    int sceneChangeThreshold = 0;
    int macroblockDecision = 0; // 0 simple, 1 fewest bits, 2 rate-distortion
    bool trellis = false;
    bool codedBlockChoice = false; // rate-distortion choice of which blocks are coded (needs trellis)
    bool fourMotionVectors = false;
    // Sub-pixel motion search and mode decision on transformed (SATD) differences
    bool transformCompare = false;
    int meRange = 0; // 0: the encoder's own
    int diaSize = 0;
    bool deinterlace = false;
    int threads = 1;
    RateMode mode = RateMode::OnePass;
    std::string logPath;
};

EncoderParams mapSettings(CodecFamily family, const RegistrySettings& registry, const DialogSettings& dialog,
                          double framesPerSecond, int processors);

} // namespace divx_codec
