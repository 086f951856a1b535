// The player's window: Stop and closing the window both stop the playing, once.
#include "outside/ac3dec/play_window.h"

#include <gtest/gtest.h>

namespace outside::ac3dec {
namespace {

TEST(PlayWindow, StopOrCloseStopsOnce) {
    for (const bool byClose : {false, true}) {
        PlayWindow window("Playing 0x80 of VTS_01_1.VOB");
        int stops = 0;
        window.onStop = [&] { ++stops; };
        window.show();
        EXPECT_EQ(window.Playing.caption(), "Playing 0x80 of VTS_01_1.VOB");
        EXPECT_FALSE(window.stopRequested());
        if (byClose)
            window.close();
        else
            window.Stop.click();
        window.Stop.click();
        EXPECT_TRUE(window.stopRequested());
        EXPECT_EQ(stops, 1) << byClose;
    }
}

} // namespace
} // namespace outside::ac3dec
