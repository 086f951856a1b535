#include "outside/divx_codec/driver_controls.h"

#include "platform/core/text.h"

#include <algorithm>
#include <strings.h>

namespace divx_codec {

namespace {

constexpr int MinBitrate = 16;    // kbit/s
constexpr int MaxBitrate = 20000; // kbit/s
constexpr int MaxCrispness = 100;
constexpr char ItemSeparator = '\x1f';

std::string line(const std::string& id, const std::string& label, const std::string& value, int minimum = 0,
                 int maximum = 0, const std::string& items = {}) {
    return id + '\t' + label + '\t' + value + '\t' + std::to_string(minimum) + '\t' +
           std::to_string(maximum) + '\t' + items + '\n';
}

bool readNumber(const std::string& id, const std::string& value, int minimum, int maximum, int& out,
                std::string& error) {
    int number = 0;
    if (!platform::core::tryStrToInt(platform::core::trim(value), number)) {
        error = id + ": \"" + value + "\" is not a number";
        return false;
    }
    if (number < minimum || number > maximum) {
        error = id + ": " + value + " is outside " + std::to_string(minimum) + ".." + std::to_string(maximum);
        return false;
    }
    out = number;
    return true;
}

bool readSlider(const std::string& id, const std::string& value, int minimum, int maximum, int& out,
                std::string& error) {
    int number = 0;
    if (!platform::core::tryStrToInt(platform::core::trim(value), number)) {
        error = id + ": \"" + value + "\" is not a slider position";
        return false;
    }
    out = std::clamp(number, minimum, maximum);
    return true;
}

bool setDivX4(DialogSettings& s, const std::string& id, const std::string& value, std::string& error) {
    if (id == "ED00")
        return readNumber(id, value, MinBitrate, MaxBitrate, s.bitrateKbps, error);
    if (id == "ED06")
        return readNumber(id, value, 1, 1000000000, s.keyInterval, error);
    if (id == "ED07") {
        s.logPath = value;
        return true;
    }
    if (id == "CB01") {
        for (int i = 0; i < 4; ++i) {
            if (strcasecmp(value.c_str(), RateModeTexts[i]) == 0) {
                s.mode = static_cast<RateMode>(i);
                return true;
            }
        }
        error = "CB01: \"" + value + "\" is not a rate control mode";
        return false;
    }
    error = id + " is not a control of the DivX 4 settings";
    return false;
}

bool setDivX3(DialogSettings& s, const std::string& id, const std::string& value, std::string& error) {
    if (id == "ED00")
        return readNumber(id, value, 1, 100000, s.keyInterval, error);
    if (id == "SB00")
        return readSlider(id, value, 0, MaxCrispness, s.crispness, error);
    if (id == "SB01")
        return readSlider(id, value, MinBitrate, MaxBitrate, s.bitrateKbps, error);
    error = id + " is not a control of the DivX 3 settings";
    return false;
}

} // namespace

std::string describeControls(CodecFamily family, const DialogSettings& s) {
    if (family == CodecFamily::DivX4) {
        std::string modes;
        for (int i = 0; i < 4; ++i)
            modes += std::string(i ? 1 : 0, ItemSeparator) + RateModeTexts[i];
        return line("ED00", "Bitrate (kbit/s)", std::to_string(s.bitrateKbps), MinBitrate, MaxBitrate) +
               line("ED06", "Max keyframe interval (frames)", std::to_string(s.keyInterval), 1, 1000000000) +
               line("CB01", "Variable bitrate mode", RateModeTexts[static_cast<int>(s.mode)], 0, 0, modes) +
               line("ED07", "Two-pass log file", s.logPath);
    }
    return line("ED00", "Keyframe every (seconds)", std::to_string(s.keyInterval), 1, 100000) +
           line("SB00", "Smoothness <-> Crispness", std::to_string(s.crispness), 0, MaxCrispness) +
           line("SB01", "Data rate (kbit/s)", std::to_string(s.bitrateKbps), MinBitrate, MaxBitrate);
}

bool setControl(CodecFamily family, DialogSettings& settings, const std::string& id, const std::string& value,
                std::string& error) {
    return family == CodecFamily::DivX4 ? setDivX4(settings, id, value, error)
                                        : setDivX3(settings, id, value, error);
}

} // namespace divx_codec
