// The synchronizer window's "File" and "Synch" tabs: choosing the file, showing what its headers hold,
// testing a new frame rate and delay in place, the evaluator, and the reset of a tested file at close.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/synch_text.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

namespace tools::synchronizer {

namespace core = platform::core;

namespace {

constexpr const char* CrLf = "\r\n";
constexpr const char* NewNameSuffix = "_New";
constexpr int PreviewTabIndex = 1;
constexpr int RemuxTabIndex = 5;
constexpr size_t TimeTextLength = 11;
constexpr int LengthWidth = 7;
constexpr int LengthDecimals = 2;
constexpr int FpsDecimals = 4;

// Messages of the language section.
enum Msg {
    MalformedTimeMsg = 78,
    FileMissingMsg = 79,
    ReadOnlyMsg = 80,
    NoAudioMsg = 81,
    NoVideoMsg = 82,
    InvalidNumberMsg = 83,
    CannotWriteMsg = 84,
    NoFileToTestMsg = 85,
    ShortDelayMsg = 86,
    ShortDelayQuestionMsg = 87,
    ResetMsg = 113,
    ResetQuestionMsg = 114,
    ResetDoneMsg = 115,
};

} // namespace

void TForm6::setNewStartText(const std::string& text) {
    NewStart.setTextSilent(text);
}

int32_t TForm6::signedNewStart() {
    const int32_t value = core::strToInt(core::trim(NewStart.text()));
    return sign.text() == "-" ? -value : value;
}

void TForm6::Button1Click() {
    if (!OpenDialog1.execute(this))
        return;
    Edit1.setText({});
    Edit1.setText(OpenDialog1.fileName);
}

void TForm6::Edit1Change() {
    Untouched = true;
    const std::string path = Edit1.text();
    if (path.empty() || !core::fileExists(path))
        return;
    // Both range lists go together: a range picked in one is read from the other at the same index.
    ranges.clearItems();
    copyranges.clearItems();
    sel.setCaption("***");
    ScrollBar1.setPosition(0);
    tb2.setPosition(100);
    if (Previewing) {
        Previewing = false;
        CloseDSPlayer();
    }
    GetStreamsInfo(path);
    RangeStart = 0;
    RangeStop = 0;
    setNewStartText({});
    SaveDialog1.fileName = core::insertBeforeExt(path, NewNameSuffix);
    Synch.CurrentFile = path;
    ReadInfos(path);
    OriginalFile = Edit1.text();
    OriginalHeader = OriginalFile.empty() ? std::nullopt : readHeaderValues(path);
    Button4.setEnabled(true);
    for (ui::Button* button : {&Button5, &Button6, &Button9, &Set1, &Set2})
        button->setEnabled(false);
}

void TForm6::ReadInfos(const std::string& fileName) {
    const ReadInfosResult result = synchronizer::ReadInfos(fileName, Synch);
    if (result.check == FileCheck::Missing || result.readFailed)
        return;
    if (result.check == FileCheck::ReadOnly) {
        Edit1.setText({});
        showError(ReadOnlyMsg);
        return;
    }
    if (result.videoFound) {
        VFredit.setCaption(result.fpsText);
        NewVFrate.setText(result.fpsText);
    } else {
        showError(NoVideoMsg);
    }
    if (result.audioFound) {
        position.setCaption(core::intToStr(result.delayMs));
        setNewStartText(position.caption());
        ui::processMessages();
    } else {
        showError(NoAudioMsg);
    }
}

void TForm6::GetStreamsInfo(const std::string& fileName) {
    const StreamsInfo info = synchronizer::GetStreamsInfo(fileName, Synch);
    switch (info.status) {
    case StreamsInfoStatus::Missing:
        showError(FileMissingMsg);
        return;
    case StreamsInfoStatus::ReadOnly:
        showError(ReadOnlyMsg);
        return;
    case StreamsInfoStatus::NoAudio:
        showError(NoAudioMsg);
        return;
    case StreamsInfoStatus::NoVideo:
        showError(NoVideoMsg);
        return;
    case StreamsInfoStatus::CannotOpen:
    case StreamsInfoStatus::OneStream:
    case StreamsInfoStatus::Done:
        break;
    }
    if (info.audioLength)
        asl.setCaption(fixed(*info.audioLength, LengthWidth, LengthDecimals));
    if (info.videoLength)
        vsl.setCaption(fixed(*info.videoLength, LengthWidth, LengthDecimals));
    if (info.suggestedFps) {
        svfps.setCaption(fixed(*info.suggestedFps, LengthWidth, FpsDecimals));
        sug.setCaption(svfps.caption());
    }
}

bool TForm6::setinfo(const std::string& fileName) {
    // Frame rates are shown right-aligned, so a copied one may begin with blanks.
    const auto decimal = [this](const std::string& text) {
        const std::string trimmed = core::trim(text);
        const auto value = ParseDecimal(trimmed);
        if (!value)
            ui::errorBox(trimmed + message(InvalidNumberMsg));
        return value;
    };
    const auto newFps = decimal(NewVFrate.text());
    if (!newFps)
        return false;
    PatchValues values;
    values.newFps = *newFps;
    values.fileFps = decimal(VFredit.caption()).value_or(0.0);
    values.delayMs = NewStart.text().empty() ? 0 : signedNewStart();
    switch (synchronizer::setinfo(fileName, Synch, values)) {
    case PatchStatus::Done:
        return true;
    case PatchStatus::CannotOpen:
        showError(CannotWriteMsg);
        return false;
    case PatchStatus::InvalidValue:
        ui::errorBox("This frame rate or delay cannot be written into the file's stream headers.");
        return false;
    case PatchStatus::OutsideFile:
        ui::errorBox("The stream headers of this file are damaged: nothing was written.");
        return false;
    case PatchStatus::WriteFailed:
        ui::errorBox("The stream headers of this file could not be written completely.");
        return false;
    }
    return false;
}

double TForm6::converttosec(const std::string& text) {
    const double seconds = synchronizer::converttosec(text);
    if (seconds == MalformedTime)
        showError(MalformedTimeMsg);
    return seconds;
}

void TForm6::SetNewClick() {
    if (!core::fileExists(Edit1.text())) {
        showError(NoFileToTestMsg);
        return;
    }
    StopClick();
    if (NewStart.text().empty())
        setNewStartText("0");
    const int32_t delayMs = signedNewStart();
    if (delayNeedsConfirmation(delayMs) &&
        !ui::askYesNo(message(ShortDelayMsg) + CrLf + message(ShortDelayQuestionMsg)))
        return;
    if (setinfo(Synch.CurrentFile))
        PlayClick();
}

void TForm6::Button2Click() {
    NewVFrate.setText(sug.caption());
}

void TForm6::Button10Click() {
    TimeDelay1.setCaption(sel.caption().substr(0, TimeTextLength));
    fpsdelay1.setCaption((sign.text() == "-" ? "-" : "") + NewStart.text());
}

void TForm6::Button11Click() {
    Timedelay2.setCaption(sel.caption().substr(0, TimeTextLength));
    fpsdelay2.setCaption((sign.text() == "-" ? "-" : "") + NewStart.text());
}

void TForm6::Button17Click() {
    const double t1 = converttosec(TimeDelay1.caption());
    const double t2 = converttosec(Timedelay2.caption());
    // A malformed point has been reported; nothing is computed from it.
    if (t1 == MalformedTime || t2 == MalformedTime)
        return;
    ReadInfos(Synch.CurrentFile);
    const int32_t d1 = core::strToInt(fpsdelay1.caption());
    const int32_t d2 = core::strToInt(fpsdelay2.caption());
    const auto fps0 = ParseDecimal(VFredit.caption());
    if (!fps0)
        ui::errorBox(VFredit.caption() + message(InvalidNumberMsg));
    const auto result = evaluateSynch(t1, t2, d1, d2, fps0.value_or(0.0));
    if (!result) {
        ui::errorBox("These two points give no result: measure two different points of the file.");
        return;
    }
    nf.setCaption(fixed(result->nf, LengthWidth, FpsDecimals));
    nd.setCaption(core::intToStr(result->ndMs));
    nfo.setCaption(fixed(result->nfo, LengthWidth, FpsDecimals));
}

void TForm6::testSuggestion() {
    PageControl1.setPageIndex(PreviewTabIndex);
    freeplay.setChecked(true);
    SetNewClick();
}

void TForm6::Button19Click() {
    NewVFrate.setText(core::trim(nf.caption()));
    std::string delayText = nd.caption();
    if (!delayText.empty() && delayText.front() == '-') {
        sign.setText("-");
        delayText.erase(0, 1);
    } else {
        sign.setText("+");
    }
    setNewStartText(delayText);
    testSuggestion();
}

void TForm6::Button20Click() {
    setNewStartText("0");
    sign.setText("+");
    NewVFrate.setText(core::trim(nfo.caption()));
    testSuggestion();
}

void TForm6::FormCloseQuery(bool& canClose) {
    // Any test (by hand, the evaluator's, the autotest's) patches the file in place; whatever did it,
    // the user is asked whether the file goes back to what it held.
    const std::string path = Edit1.text();
    if (path.empty() || path != OriginalFile || !OriginalHeader || !core::fileExists(path) ||
        !headerValuesDiffer(path, *OriginalHeader))
        return;
    if (!ui::askYesNo(message(ResetMsg) + CrLf + message(ResetQuestionMsg))) {
        PageControl1.setPageIndex(RemuxTabIndex);
        canClose = false;
        return;
    }
    setNewStartText(position.caption());
    NewVFrate.setText(VFredit.caption());
    if (patchFields(path, *OriginalHeader) == PatchStatus::Done)
        ui::informationBox(message(ResetDoneMsg));
    else
        showError(CannotWriteMsg);
}

void TForm6::NewStartChange() {
    Untouched = false;
}

} // namespace tools::synchronizer
