#include "outside/mpeg2avi/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace mpeg2avi {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A whole non-negative decimal number that fits its type; nothing else.
template <typename T>
bool parseNumber(const std::string& text, T& value) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Picture sizes: 1 to 4096 pixels.
constexpr int kMaxSide = 4096;

class Reader {
public:
    Reader(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

    bool more() const { return at_ < args_.size(); }
    const std::string& next() { return args_[at_++]; }

    bool text(const std::string& item, std::string& value) {
        if (!more())
            return missing(item);
        value = next();
        return true;
    }

    template <typename T>
    bool number(const std::string& item, T& value, T minimum, T maximum) {
        if (!more())
            return missing(item);
        const std::string& word = next();
        if (!parseNumber(word, value) || value < minimum || value > maximum) {
            error_ = "The value \"" + word + "\" of " + item + " is not a number from " +
                     std::to_string(minimum) + " to " + std::to_string(maximum) + ".";
            return false;
        }
        return true;
    }

    bool side(const std::string& item, std::optional<int>& value) {
        int v = 0;
        if (!number(item, v, 1, kMaxSide))
            return false;
        value = v;
        return true;
    }

private:
    bool missing(const std::string& item) {
        error_ = "The item " + item + " needs a value.";
        return false;
    }

    const std::vector<std::string>& args_;
    std::string& error_;
    size_t at_ = 0;
};

bool frameRateItem(const std::string& item, FrameRate& rate) {
    static const struct {
        const char* item;
        FrameRate rate;
    } rates[] = {
        {"-f2", {25, 1}}, {"-f3", {24, 1}}, {"-f4", {30, 1}}, {"-f5", {24000, 1001}}, {"-f6", {30000, 1001}}};
    for (const auto& r : rates)
        if (item == r.item) {
            rate = r.rate;
            return true;
        }
    return false;
}

// Items without a value. True when the item was one of them.
bool flagItem(const std::string& item, ConvertOptions& o) {
    FrameRate rate;
    if (frameRateItem(item, rate))
        o.rate = rate;
    else if (item == "-a")
        o.noAudio = true;
    else if (item == "-q0")
        o.postFilter = PostFilter::HighQuality;
    else if (item == "-q1")
        o.postFilter = PostFilter::Fast;
    else if (item.size() == 3 && item.starts_with("-r") && item[2] >= '0' && item[2] <= '7')
        o.idct = item[2] - '0';
    else if (item == "-2")
        o.halfRes = true;
    else if (item == "-df")
        o.deinterlace = true;
    else if (item.size() == 3 && item.starts_with("-s") && std::isdigit(static_cast<unsigned char>(item[2])))
        o.ivtc = item[2] - '0';
    else if (item == "-7")
        o.dual = true;
    else if (item == "-o6")
        o.preview = true;
    else if (item == "-o7")
        o.colour = ColourFormat::RGB24;
    else if (item == "-o8")
        o.colour = ColourFormat::YV12;
    else if (item == "-o9")
        o.colour = ColourFormat::YUY2;
    else
        return false;
    return true;
}

bool valueItem(const std::string& item, Reader& in, ConvertOptions& o, bool& known) {
    known = true;
    if (item == "-b")
        return in.text(item, o.list);
    if (item == "-#") {
        int64_t first = 0, last = 0;
        if (!in.number(item, first, int64_t{0}, int64_t{INT32_MAX}) ||
            !in.number(item, last, int64_t{0}, int64_t{INT32_MAX}))
            return false;
        o.firstFrame = first;
        o.lastFrame = last;
        return true;
    }
    if (item == "-1")
        return in.side(item, o.cropWidth) && in.side(item, o.cropHeight);
    if (item == "-3x")
        return in.side("-3X", o.width);
    if (item == "-3y")
        return in.side("-3Y", o.height);
    if (item == "-@") {
        int64_t sector = 0;
        if (!in.number(item, sector, int64_t{0}, INT64_MAX / 4096))
            return false;
        o.startSector = sector;
        return true;
    }
    known = false;
    return true;
}

} // namespace

std::optional<Variant> variantOfProgram(const std::string& programPath) {
    std::string name = programPath.substr(programPath.find_last_of('/') + 1);
    name = lower(name);
    if (name.ends_with(".exe"))
        name.resize(name.size() - 4);
    if (name == "mpeg2avipx3")
        return Variant::Px3;
    if (name == "m2apx3g")
        return Variant::Px3Gui;
    if (name == "m2apx3go")
        return Variant::Px3GuiDual;
    if (name == "mpeg2avisve")
        return Variant::Sve;
    if (name == "mpeg2v12")
        return Variant::V12;
    return std::nullopt;
}

bool parseOptions(Variant variant, const std::vector<std::string>& args, ConvertOptions& options,
                  std::string& error) {
    ConvertOptions o;
    o.variant = variant;
    o.deinterlace = variant == Variant::Sve;
    Reader in(args, error);
    bool haveFolder = false;
    while (in.more()) {
        const std::string& word = in.next();
        if (word.empty())
            continue;
        if (word[0] != '-') {
            if (haveFolder) {
                error =
                    "Only one output folder can be given: \"" + o.outputFolder + "\" and \"" + word + "\".";
                return false;
            }
            o.outputFolder = word;
            haveFolder = true;
            continue;
        }
        const std::string item = lower(word);
        if (flagItem(item, o))
            continue;
        bool known = false;
        if (!valueItem(item, in, o, known))
            return false;
        if (!known) {
            error = "Unknown item \"" + word + "\".";
            return false;
        }
    }
    if (o.list.empty()) {
        error = "No VOB list: give it with -b.";
        return false;
    }
    if (!o.preview && !haveFolder) {
        error = "No output folder: give it last, in quotes.";
        return false;
    }
    if (o.firstFrame && *o.lastFrame <= *o.firstFrame) {
        error = "The frame range " + std::to_string(*o.firstFrame) + " - " + std::to_string(*o.lastFrame) +
                " holds no frame.";
        return false;
    }
    options = std::move(o);
    return true;
}

std::string outputName(const ConvertOptions& options, int output) {
    if (output == 2)
        return "movie_2.avi";
    const bool numbered =
        options.dual || options.variant == Variant::Px3Gui || options.variant == Variant::Px3GuiDual;
    return numbered ? "movie_1.avi" : "movie.avi";
}

const char* idctName(int digit) {
    // Double-precision and plain FPU transforms: the floating-point one; the MMX ones: the integer
    // transforms they were fast versions of; AP-922: the transform derived from it; the fast one: the
    // best optimised one for this processor.
    static const char* const names[] = {"faani", "simplemmx", "int",        "simple",
                                        "xvid",  "xvid",      "simpleauto", "faani"};
    return digit >= 0 && digit <= 7 ? names[digit] : "auto";
}

} // namespace mpeg2avi
