#include "tools/audio_converter/tform2.h"

#include "tools/audio_converter/converter_time.h"
#include "tools/audio_converter/format_dialog.h"
#include "tools/audio_converter/wave_source.h"

#include "platform/core/clock.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <algorithm>
#include <climits>

namespace tools::audio_converter {

namespace core = platform::core;
using platform::acm::WaveFormat;

TForm2* Form2 = nullptr;

namespace {

constexpr size_t DescriptionMax = 128;
constexpr size_t TagNameMax = 48;
constexpr int64_t MillisecondsPerSecond = 1000;

} // namespace

TForm2::TForm2(std::string externDir) : externDir_(std::move(externDir)) {
    if (externDir_.empty())
        externDir_ = core::joinPath(core::currentDir(), "extern");
    setCaption("AudioComp");
    layOut();
    connectHandlers();
    Form2 = this;
    create();
}

TForm2::~TForm2() {
    UserBreak = true;
    if (Form2 == this)
        Form2 = nullptr;
}

void TForm2::layOut() {
    setClientSize(480, 250);
    setBorderStyle(ui::BorderStyle::Single);
    Label1.setBounds(8, 12, 70, 16);
    Edit1.setBounds(80, 8, 300, 22);
    Source.setBounds(390, 8, 80, 24);
    Label6.setBounds(8, 42, 70, 16);
    Edit2.setBounds(80, 38, 300, 22);
    Target.setBounds(390, 38, 80, 24);
    Label2.setBounds(80, 66, 300, 16);
    Label3.setBounds(80, 88, 100, 16);
    Label4.setBounds(180, 88, 200, 16);
    Choose.setBounds(390, 84, 80, 24);
    Range.setBounds(8, 116, 110, 20);
    Range1.setBounds(120, 114, 70, 22);
    Label8.setBounds(198, 118, 20, 16);
    Range2.setBounds(220, 114, 70, 22);
    PB.setBounds(8, 148, 462, 18);
    Label9.setBounds(8, 174, 60, 16);
    Label5.setBounds(70, 174, 70, 16);
    Label10.setBounds(160, 174, 50, 16);
    Label7.setBounds(210, 174, 70, 16);
    Convert.setBounds(150, 210, 80, 26);
    STOP.setBounds(240, 210, 80, 26);
    Button2.setBounds(390, 210, 80, 26);
    // The window serves batch use: the choosers stay disabled.
    Source.setEnabled(false);
    Target.setEnabled(false);
    Choose.setEnabled(false);
    Convert.setEnabled(false);
    Button2.setEnabled(false);
}

void TForm2::connectHandlers() {
    onShow = [this] { FormShow(); };
    onClose = [this](ui::CloseAction&) { UserBreak = true; };
    Convert.onClick = [this] { ConvertClick(); };
    STOP.onClick = [this] { STOPClick(); };
    Button2.onClick = [this] { Button2Click(); };
    Timer1.onTimer = [this] { Timer1Timer(); };
}

void TForm2::FormShow() {
    GetACMParam();
}

std::string TForm2::GetNext(int index) {
    if (index < 1 || index > ACMParamMax)
        return "0";
    return audio_converter::GetNext(ACMParams[static_cast<size_t>(index)]);
}

void TForm2::GetACMParam() {
    ACMParamCount = 1;
    int found = 0;
    for (int i = 1; i <= ACMParamCount && found == 0; ++i)
        if (ACMParams[static_cast<size_t>(i)].find(WfPrefix) != std::string::npos)
            found = i;
    if (found == 0)
        return;
    std::string& entry = ACMParams[static_cast<size_t>(found)];
    preset_ = splitWfParameter(entry);
    Label3.setCaption(preset_.codec);
    Label4.setCaption(targetDetailsText(preset_));
    const auto presetString = presetStringFor(preset_);
    const auto format = presetString ? parsePresetString(*presetString) : std::nullopt;
    if (!format) {
        // A parameter that matches no row: no codec, so a conversion asks for one.
        entry.clear();
        target_ = {};
        Label3.setCaption("-");
        Label4.setCaption("");
        return;
    }
    entry = *presetString;
    target_ = *format;
}

void TForm2::Conversion() {
    if (engine_.running())
        return;
    ConversionRequest request;
    request.source = Edit1.text();
    request.destination = Edit2.text();
    request.range = Range.checked();
    request.rangeStart = Range1.text();
    request.rangeEnd = Range2.text();
    request.codecText = Label3.caption();
    request.target = target_;
    request.bitRateText = preset_.bitRate;
    request.externDir = externDir_;
    request.quiet = ACMParamCount != 0;
    request.keepStopped = !request.quiet;
    const ConversionResult result = engine_.run(request, UserBreak);
    JobFailed = result.failed;
    if (result.resultsValid) {
        SourceSeconds = result.sourceSeconds;
        TargetSeconds = result.targetSeconds;
        TargetByteRate = result.targetByteRate;
    }
}

void TForm2::GetSourceFmt() {
    const std::string path = Edit1.text();
    if (!core::fileExists(path))
        return;
    if (const auto format = readSourceFormat(path))
        Label2.setCaption(sourceFormatText(*format));
    ui::processMessages();
}

bool TForm2::ChooseFormat(WaveFormat& format, std::string& description, std::string& tagName) {
    const WaveFormat initial = format;
    format = {};
    ChosenFormat chosen;
    if (!runFormatDialog("Please confirm codec", initial, chosen))
        return false;
    format = chosen.format;
    description = chosen.description.substr(0, DescriptionMax);
    tagName = chosen.tagName.substr(0, TagNameMax);
    Label3.setCaption(tagName);
    Label4.setCaption(description);
    return true;
}

void TForm2::ConvertClick() {
    Conversion();
}

void TForm2::STOPClick() {
    UserBreak = true;
}

void TForm2::Button2Click() {
    close();
}

void TForm2::Timer1Timer() {
    if (Label2.caption() == "-")
        GetSourceFmt();
    const int64_t elapsed = (core::monotonicMs() - engine_.startMs()) / MillisecondsPerSecond;
    Label5.setCaption(secondsToTimeText(elapsed));
    const int64_t total = engine_.total();
    if (total <= 0)
        return;
    const double done = static_cast<double>(total - engine_.remaining()) / static_cast<double>(total);
    if (done <= 0)
        return;
    Label7.setCaption(secondsToTimeText(core::roundHalfEven(elapsed / done)));
}

void TForm2::errorBox(const std::string& text) {
    ui::errorBox(text);
}

void TForm2::messageBox(const std::string& text) {
    ui::showMessage(text);
}

void TForm2::jobStarted(int64_t) {
    PB.setPosition(0);
    Timer1.setEnabled(true);
}

void TForm2::progressMaximum(int64_t total) {
    progressScale_ = std::max<int64_t>(1, total / INT_MAX + 1);
    PB.setMin(0);
    PB.setMax(static_cast<int>(total / progressScale_));
}

void TForm2::progressStep(int64_t bytes) {
    PB.stepBy(static_cast<int>(bytes / progressScale_));
}

void TForm2::jobEnded() {
    Timer1.setEnabled(false);
}

void TForm2::processMessages() {
    ui::processMessages();
}

} // namespace tools::audio_converter
