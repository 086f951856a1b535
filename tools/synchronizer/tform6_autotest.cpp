// The synchronizer window's "Autotest" tab: each "Play/Next" tests the next delay or frame rate of the
// series, patching the file and starting the preview.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/ui/dialogs.h"

namespace tools::synchronizer {

namespace {

constexpr int InvalidNumberMsg = 83;

} // namespace

void TForm6::AutosynchClick() {
    Next.setEnabled(Autosynch.checked());
}

void TForm6::GetAllDelay() {
    synchronizer::GetAllDelay(Autotest, delay1.text(), delay2.text(), delaystep.text());
}

void TForm6::GetAllFPS() {
    for (const std::string& text :
         synchronizer::GetAllFPS(Autotest, fps1.text(), fps2.text(), fpsstep.text()))
        ui::errorBox(text + message(InvalidNumberMsg));
}

void TForm6::NextClick() {
    StopClick();
    if (Autotest.AutotestDone)
        return;
    if (autodelay.checked()) {
        const DelayTexts texts = delayTexts(Autotest.CurDelay);
        sign.setText(texts.sign);
        setNewStartText(texts.newStart);
        setinfo(Synch.CurrentFile);
        if (!Previewing && CreatePreviewGraph()) {
            Previewing = true;
            DSPlayerPlayFile(Edit1.text());
            advanceDelay(Autotest);
        }
    } else if (autofps.checked()) {
        NewVFrate.setText(FormatFps(Autotest.CurFps));
        setinfo(Synch.CurrentFile);
        if (!Previewing && CreatePreviewGraph()) {
            Previewing = true;
            DSPlayerPlayFile(Edit1.text());
            advanceFps(Autotest);
        }
    }
}

} // namespace tools::synchronizer
