// The command lines of the converter, the AC3 decoder and the codec automation, built from the
// main window's controls; and the handlers of the rip and preview buttons.
#include "kes/form1.h"
#include "kes/form1_rip_settings.h"
#include "kes/form1_unit.h"
#include "kes/text_helpers.h"

#include "platform/core/text.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

ConverterSettings converterSettingsOf(const TForm1& form) {
    ConverterSettings s;
    s.vobFile = form.Vobfile.text();
    s.aviFile = form.AVIFile.text();
    s.forceDeint = form.ForceDeint.checked();
    s.px3gui = form.px3gui.checked();
    s.dual = form.dual.checked();
    s.range = form.Range.checked();
    s.rangeStart = TimeToSeconds(form.Range1.text());
    s.rangeEnd = TimeToSeconds(form.Range2.text());
    s.fps = form.fps.text();
    s.postFilter = form.PostFilter.text();
    s.refQuality = form.RefQuality.text();
    s.crop = form.Crop.checked();
    s.xCrop = form.XCrop.text();
    s.yCrop = form.YCrop.text();
    s.halfres = form.Halfres.checked();
    s.downX = form.DownX.checked();
    s.xSize = form.XSize.text();
    s.downY = form.DownY.checked();
    s.ySize = form.YSize.text();
    s.ivtc = form.IVTC.checked();
    s.ivtcNb = form.IVTCnb.text();
    s.output = form.Output.text();
    return s;
}

void TForm1::connectRipHandlers() {
    Launch.onClick = [this] { LaunchClick(); };
    PreviewVid.onClick = [this] { PreviewVidClick(); };
}

std::string TForm1::TreatVidParams() {
    return converterLine(converterSettingsOf(*this), ExternDir);
}

std::string TForm1::TreatAC3Dec(const std::string& subStream, int stream) {
    Ac3DecSettings s;
    s.vobFile = Vobfile.text();
    s.ripAll = RipAll.checked();
    s.samplerate = Samplerate.text();
    s.wavFile = stream == 1 ? WavFileEdit.text() : Wav2.text();
    return ac3DecLine(s, subStream);
}

bool TForm1::SetAutoDivXParam(int output) {
    AutoDivXSettings s;
    s.startDir = StartDir;
    s.codec = output == 1 ? Codec.text() : pass2.text();
    s.rate = output == 1 ? DivFR.text() : DualBR.text();
    s.kframe = kframe.text();
    s.crisp = Crisp.text();
    s.d4vbr = D4VBR.text();
    s.aviFile = AVIFile.text();
    s.finalFile = FinalFile.text();
    try {
        ExtCommand = autoDivXLine(s);
    } catch (const core::ConvertError& error) {
        // A key-frame text that is no integer: nothing is started and the rip ends.
        ui::errorBox(error.what());
        RipAborted = true;
        return false;
    }
    return true;
}

} // namespace kes
