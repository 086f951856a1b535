// The command lines ac3dec.exe takes: the rip's and the play button's, and the ones it refuses.
#include "outside/ac3dec/ac3dec_options.h"

#include <gtest/gtest.h>

namespace outside::ac3dec {
namespace {

using Args = std::vector<std::string>;

TEST(Ac3DecOptions, TheRipsAndThePlayersLines) {
    std::string error;
    auto o = parseAc3DecOptions({"/d/VTS_01_1.VOB", "-allvob", "-substream", "0x81", "[Latvian,", "Lettish]",
                                 "-overwrite", "-44100", "-pcmwav", "/w/a b.wav"},
                                error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->vob, "/d/VTS_01_1.VOB");
    EXPECT_TRUE(o->allVob);
    EXPECT_EQ(o->subStream, 0x81);
    EXPECT_TRUE(o->overwrite);
    EXPECT_EQ(o->sampleRate(), 44100);
    EXPECT_EQ(o->wav, "/w/a b.wav");
    EXPECT_FALSE(o->play);

    o = parseAc3DecOptions({"/d/V.VOB", "-substream", "0x83", "-pcm", "-out"}, error);
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->play);
    EXPECT_FALSE(o->allVob);
    EXPECT_EQ(o->subStream, 0x83);
    EXPECT_EQ(o->sampleRate(), 48000);
}

TEST(Ac3DecOptions, LinesThatCannotRunAreRefused) {
    std::string error;
    for (const Args& args : {Args{}, Args{"-pcmwav", "a.wav"}, Args{"v.vob"}, Args{"v.vob", "-pcmwav"},
                             Args{"v.vob", "-out", "-pcmwav", "a.wav"}, Args{"v.vob", "w.vob", "-out"},
                             Args{"v.vob", "-loud", "-out"}, Args{"v.vob", "-substream", "0x8a", "-out"},
                             Args{"v.vob", "-substream", "0x80", "[English", "-out"}}) {
        error.clear();
        EXPECT_FALSE(parseAc3DecOptions(args, error)) << (args.empty() ? "(none)" : args.back());
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace outside::ac3dec
