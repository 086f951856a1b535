// The converter's preview and the resize and crop sizes read back from the on-screen adjusting run.
#include "kes/form1.h"
#include "kes/form1_rip_settings.h"
#include "kes/form1_unit.h"
#include "kes/m2a_bat.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

namespace {

constexpr int MsgTimeFormat = 2;
constexpr int MsgVideoRange = 47;
// Only the first line of "m2a.bat" counts; a longer first line than this is cut.
constexpr int64_t MaxFirstLine = 64 * 1024;

std::string firstLineOf(const std::string& path, bool& found) {
    // Only a regular file counts: a pipe of that name is not waited on.
    const std::optional<std::string> head = core::readFileHead(path, MaxFirstLine);
    found = head.has_value();
    std::string line = head.value_or(std::string());
    if (const size_t end = line.find_first_of("\r\n"); end != std::string::npos)
        line.resize(end);
    return line;
}

} // namespace

void TForm1::SetPrevParam(int flag) {
    PreviewSettings s;
    s.video = converterSettingsOf(*this);
    s.prevstart = prevstart.checked();
    s.min = Min.text();
    const PreviewPlan plan =
        previewLine(s, flag == 0 ? PreviewKind::AsOptions : PreviewKind::Adjust, ExternDir);

    // An unreadable range is reported and left out; the preview still runs.
    if (plan.rangeUnreadable)
        ui::errorBox(MessageTable[MsgVideoRange] + " - " + MessageTable[MsgTimeFormat]);
    if (plan.rangeReversed) {
        ui::errorBox(MessageTable[MsgVideoRange] + "\r\n" + Range1.text() + " > " + Range2.text());
        return;
    }
    if (!plan.conversionError.empty()) {
        ui::errorBox(plan.conversionError);
        return;
    }
    ExtCommand = plan.line;
    RunExtProg();
}

bool TForm1::prepareOnScreenRun() {
    // A first VOB that does not exist writes no list (MakeList shows why): the "vob.lst" in that
    // folder is an earlier title's, and must not be shown as this one.
    if (!MakeList(Vobfile.text()) || !core::fileExists(Vobfile.text()))
        return false;
    const std::string bat = ExternDir + std::string(M2aBatName);
    // Sizes left by an earlier run must not be taken for this one's.
    if (core::fileExists(bat) && !core::deleteFile(bat)) {
        ui::errorBox("Can't delete " + bat + " !");
        return false;
    }
    return true;
}

void TForm1::PreviewVidClick() {
    JobGuard job(*this);
    if (!prepareOnScreenRun())
        return;
    SetPrevParam(0);
    ReadOnScreenSizes();
}

bool TForm1::ReadOnScreenSizes() {
    const std::string bat = ExternDir + std::string(M2aBatName);
    if (!core::fileExists(bat))
        return false;
    bool found = false;
    const OnScreenSizes sizes = parseM2aFirstLine(firstLineOf(bat, found));
    if (!found)
        return false;
    if (sizes.xSize) {
        DownX.setChecked(true);
        XSize.setText(*sizes.xSize);
    }
    if (sizes.ySize) {
        DownY.setChecked(true);
        YSize.setText(*sizes.ySize);
    }
    if (sizes.xCrop && sizes.yCrop) {
        Crop.setChecked(true);
        XCrop.setText(*sizes.xCrop);
        YCrop.setText(*sizes.yCrop);
    }
    return true;
}

} // namespace kes
