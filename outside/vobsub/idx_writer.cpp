#include "outside/vobsub/idx_writer.h"
#include "outside/vobsub/language_names.h"

#include <algorithm>
#include <cstdio>

namespace outside::vobsub {

namespace {

constexpr const char* Eol = "\r\n";
constexpr int64_t TicksPerMillisecond = PtsRate / 1000;
constexpr int64_t MaxMilliseconds = 100LL * 3600 * 1000 - 1; // two digits of hours

std::string hex6(uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06x", rgb & 0xFFFFFF);
    return text;
}

void line(std::string& out, const std::string& text) {
    out += text;
    out += Eol;
}

// The settings part, each setting after a comment that says what it does.
void settings(std::string& out, const TitleIfo& title, int languageInUse) {
    line(out, "# VobSub index file, v7 (do not modify this line!)");
    line(out, "#");
    line(out, "# Subtitles taken from a DVD title: each subtitle has one line with its time, counted from");
    line(out, "# the start of the title, and the place of its first pack in the .sub file.");
    line(out, "");
    line(out, "# Settings");
    line(out, "");
    line(out, "# Original frame size");
    line(out, "size: " + std::to_string(title.width) + "x" + std::to_string(title.height));
    line(out, "");
    line(out, "# Origin, relative to the upper-left corner, can be overloaded by alignment");
    line(out, "org: 0, 0");
    line(out, "");
    line(out,
         "# Image scaling (hor,ver), origin is at the upper-left corner or at the alignment coord (x, y)");
    line(out, "scale: 100%, 100%");
    line(out, "");
    line(out, "# Alpha blending");
    line(out, "alpha: 100%");
    line(out, "");
    line(out, "# Smoothing for very blocky images (use OLD for no filtering)");
    line(out, "smooth: OFF");
    line(out, "");
    line(out, "# In millisecs");
    line(out, "fadein/out: 50, 50");
    line(out, "");
    line(out, "# Force subtitle placement relative to (org.x, org.y)");
    line(out, "align: OFF at LEFT TOP");
    line(out, "");
    line(out, "# For correcting non-progressive desync. (in millisecs or hh:mm:ss:ms)");
    line(out, "time offset: 0");
    line(out, "");
    line(out, "# ON: displays only forced subtitles, OFF: shows everything");
    line(out, "forced subs: OFF");
    line(out, "");
    line(out, "# The original palette of the DVD");
    std::string palette = "palette: ";
    for (size_t k = 0; k < title.palette.size(); ++k)
        palette += (k ? ", " : "") + hex6(title.palette[k]);
    line(out, palette);
    line(out, "");
    line(out, "# Custom colors (transp idxs and the four colors)");
    line(out, "custom colors: OFF, tridx: 0000, colors: 000000, 000000, 000000, 000000");
    line(out, "");
    line(out, "# Language index in use");
    line(out, "langidx: " + std::to_string(languageInUse));
}

std::string cellLine(const IdxEntry& e) {
    return "# Vob/Cell ID: " + std::to_string(e.vobId) + ", " + std::to_string(e.cellId) +
           " (PTS: " + std::to_string(e.cellStart / TicksPerMillisecond) + ")";
}

} // namespace

std::string idxTime(int64_t ticks) {
    const int64_t ms =
        std::clamp<int64_t>((ticks + TicksPerMillisecond / 2) / TicksPerMillisecond, 0, MaxMilliseconds);
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string idxText(const TitleIfo& title, const std::vector<IdxStream>& streams) {
    std::string out;
    settings(out, title, streams.empty() ? 0 : streams.front().stream.number);
    for (const IdxStream& s : streams) {
        line(out, "");
        const std::string code = s.stream.code.empty() ? "--" : s.stream.code;
        line(out, "# " + englishLanguageName(s.stream.code));
        line(out, "id: " + code + ", index: " + std::to_string(s.stream.number));
        bool first = true;
        uint16_t vob = 0;
        uint8_t cell = 0;
        for (const IdxEntry& e : s.entries) {
            if (first || e.vobId != vob || e.cellId != cell)
                line(out, cellLine(e));
            first = false;
            vob = e.vobId;
            cell = e.cellId;
            char pos[24];
            std::snprintf(pos, sizeof pos, "%09llx", static_cast<unsigned long long>(e.filepos));
            line(out, "timestamp: " + idxTime(e.time) + ", filepos: " + pos);
        }
    }
    return out;
}

} // namespace outside::vobsub
