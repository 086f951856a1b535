// The close of a rip: its report, the log file, and the box or the shutdown that ends it.
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/rip_record.h"
#include "kes/rip_report.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <chrono>
#include <thread>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* ReportCaption = "Kestrova LOG";
constexpr const char* LogsFolder = "logs/";
// How long the encoding speed waits for the converter to let go of its AVI, and how often it looks.
constexpr int64_t AviWaitMs = 30'000;
constexpr auto AviPollInterval = std::chrono::milliseconds(100);

} // namespace

std::string TForm1::ReadFrameRate() {
    const std::string avi = AVIFile.text();
    // The converter may still be closing its output; the window stays alive while the report waits.
    const int64_t deadline = core::monotonicMs() + AviWaitMs;
    while (core::fileLocked(avi)) {
        if (core::monotonicMs() >= deadline)
            return {};
        ui::processMessages();
        std::this_thread::sleep_for(AviPollInterval);
    }
    return encodingSpeedText(core::readLE32(avi, AviTotalFramesOffset), fps.text(), RipRecord.RipStart,
                             RipRecord.RipEnd);
}

void TForm1::Statistics() {
    ReportChoices c;
    c.profileName = ProfileEdit.text();
    c.description = Descrip.text();
    c.ripVid = RipVid.checked();
    c.divxAuto = DivxAuto.checked();
    c.ripAudio = RipAudio.checked();
    c.twostreams = twostreams.checked();
    c.normal = normal.checked();
    c.norm2Other = Norm2Other.checked();
    c.compress = compress.checked();
    c.audioRange = AudioRange.checked();
    c.merge = Merge.checked();
    c.divFR = DivFR.text();
    c.kframe = kframe.text();
    c.crisp = Crisp.text();
    if (c.ripVid)
        c.encodingSpeed = ReadFrameRate();
    c.secondStreamHeading = twostreams.caption();
    const std::string report = buildRipReport(c, RipRecord, MessageTable);

    const bool multi = unattended();
    if (log.checked()) {
        const std::string path =
            logFilePath(ProgDir + LogsFolder, c.profileName, core::shortDateText(core::now()),
                        core::timeText(RipRecord.RipStart));
        // A log that cannot be written ends the report here: no box and no shutdown.
        if (!core::writeFileAtomic(path, report)) {
            ui::errorBox("Can't write the log file " + path + " !");
            return;
        }
    }

    switch (reportEnd(Shut.checked(), multi)) {
    case ReportEnd::Shutdown:
        shutdownRequested_ = true;
        ShutdownWindows();
        break;
    case ReportEnd::Nothing:
        break;
    case ReportEnd::ShowBox:
        ui::messageBox(ui::MessageKind::Plain, report, ui::Buttons::Ok, ReportCaption);
        break;
    }
}

} // namespace kes
