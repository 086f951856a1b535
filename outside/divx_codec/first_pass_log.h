#pragma once

// What the second pass needs to know of the first pass's log before it starts: how many frames it
// holds and the fewest bits they can take at the coarsest quantizer allowed. libavcodec refuses a
// target below that (and in some versions corrupts its heap doing so); the codec raises such a
// target instead.

#include <cstdint>
#include <string>

namespace divx_codec {

struct FirstPassSummary {
    int64_t frames = 0;
    double fixedBits = 0;   // motion-vector and header bits, which no quantizer shrinks
    double textureWork = 0; // texture bits times their quantizer: texture bits shrink as 1 / quantizer
};

// Reads the libavcodec statistics text ("in:0 out:0 type:1 q:<lambda> itex:.. ptex:.. mv:.. misc:..;"
// per frame). Entries without those fields count as frames with no bits.
FirstPassSummary summarizeFirstPass(const std::string& log);

// The second pass's bit rate: the target, raised where needed to twice the fewest bits the movie can
// take with quantizers up to maxQuantizer, so that the rate control has room to plan.
int64_t reachableBitRate(int64_t target, const FirstPassSummary& log, double framesPerSecond,
                         int maxQuantizer);

} // namespace divx_codec
