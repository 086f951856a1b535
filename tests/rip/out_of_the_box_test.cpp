// The first start in the program folder the build assembles: every helper file and codec file is
// there, so the only box is the first-run greeting, and the default profile's codec is installed.
#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"
#include "kes/work_folders.h"

#include "platform/core/files.h"

namespace kes::test {
namespace {

class OutOfTheBoxTest : public RipRoadTest {};

TEST_F(OutOfTheBoxTest, FirstStartShowsOnlyTheGreeting) {
    for (const auto& helper : HelperFiles)
        EXPECT_TRUE(platform::core::fileExists((folder.externDir() / std::string(helper.file)).string()))
            << helper.file;
    start();
    ASSERT_EQ(script.shown().size(), 1u) << ::testing::PrintToString(shown());
    EXPECT_EQ(script.shown()[0].kind, "information");
    EXPECT_TRUE(script.shown()[0].text.starts_with("It seems this is the first time you use Kestrova."));
    // Both codecs are offered: the system folder holds their files.
    EXPECT_GE(form->Codec.itemCount(), 2);
    EXPECT_EQ(form->Codec.text(), "DivX 4.x");

    // A second start greets no more; the saved default profile loads without a codec warning.
    script.clearShown();
    form->SaveDialog1.fileName = (folder.path() / "Profiles" / "default.pfl").string();
    form->CreateProfile(false);
    start();
    EXPECT_EQ(shown(), Lines{});
}

} // namespace
} // namespace kes::test
