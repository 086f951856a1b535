// The audio page's handlers: the title's audio streams (from the IFO file or from the extractor's
// count), playing a stream, the compression choices, the gain label and the options that enable one
// another on the main page.
#include "kes/audio_formats.h"
#include "kes/audio_stream_lines.h"
#include "kes/ext_runner.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/ifo_audio.h"
#include "kes/ifo_files.h"
#include "kes/language_names.h"

#include "platform/core/files.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/key_filters.h"

#include <algorithm>

namespace kes {

namespace core = platform::core;

namespace {

constexpr const char* MethodAc3Dec = "AC3Dec";
constexpr const char* MethodAzid = "Azid";
constexpr const char* StreamPrefix = "0x8";
constexpr const char* FirstStream = "0x80";

bool usesDecoderPrograms(const std::string& method) {
    return method == MethodAc3Dec || method == MethodAzid;
}

// Replaces a combo box's items and keeps its text when the new items still hold it (a list-only combo
// box would otherwise lose it). Runs nothing.
void setItemsKeepingText(ui::ComboBox& combo, const std::vector<std::string>& items) {
    const std::string text = combo.text();
    combo.setItems(items);
    if (std::find(items.begin(), items.end(), text) != items.end() ||
        combo.style() == ui::ComboStyle::DropDown)
        combo.setTextSilent(text);
}

void clearStreamList(ui::ComboBox& list) {
    list.clearItems();
    list.setText({});
}

// splitsize: digits, the blank and control keys.
void splitSizeKeyFilter(char& key) {
    const auto code = static_cast<unsigned char>(key);
    if (code >= ' ' && key != ' ' && (key < '0' || key > '9'))
        key = 0;
}

} // namespace

void TForm1::connectAudioHandlers() {
    Vobfile.onChange = [this] { VobfileChange(); };
    arip.onChange = [this] { aripChange(); };
    arip.onKeyPress = ui::displayOnlyKeyFilter;
    PreAud.onClick = [this] { PreAudClick(); };
    Audio2Play.onClick = [this] { Audio2playClick(); };
    mp3wma.onChange = [this] { mp3wmaChange(); };
    Mode.onChange = [this] { ModeChange(); };
    Samplerate.onChange = [this] { SamplerateChange(); };
    GainTrack.onChange = [this] { GainTrackChange(); };
    RipAudio.onClick = [this] { RipAudioClick(); };
    normal.onClick = [this] { normalClick(); };
    compress.onClick = [this] { compressClick(); };
    AudioRange.onClick = [this] { AudioRangeClick(); };
    Merge.onClick = [this] { MergeClick(); };
    Split.onClick = [this] { SplitClick(); };
    twostreams.onClick = [this] { twostreamsClick(); };
    splitsize.onChange = [this] { splitsizeChange(); };
    splitsize.onKeyPress = splitSizeKeyFilter;
    ARange1.onKeyPress = ui::timeKeyFilter;
    ARange2.onKeyPress = ui::timeKeyFilter;
}

// ---- Streams ----

void TForm1::VobfileChange() {
    // The old title's streams go before anything of the new one is read, so that no failure on the
    // way leaves them listed.
    audioinfo.clear();
    clearStreamList(SubStream);
    clearStreamList(SecSubStream);
    damagedIfoShown_.clear();
    ifofile.setText(IfoNameOfVob(Vobfile.text()));
    destsub.setText(SubNameOfAvi(FinalFile.text()));

    const std::string ifo = ifofile.text();
    if (ifo != NoIfoFile && core::fileExists(ifo) && usesDecoderPrograms(arip.text()))
        listIfoAudioStreams(ifo);
    else if (core::fileExists(Vobfile.text()))
        // A name that is no file has no streams to count (the extractor would find none): nothing runs
        // for each key typed into the box.
        countAudioStreams(streamCountLine(ExternDir, Vobfile.text()));
    isfileok();
}

void TForm1::listIfoAudioStreams(const std::string& ifo) {
    const std::optional<std::string> head = readIfoHead(ifo);
    const IfoAudio audio = parseIfoAudio(head ? *head : std::string());
    for (size_t i = 0; i < audio.streams.size(); ++i) {
        const IfoAudioStream& stream = audio.streams[i];
        const std::string name = stream.languageName();
        decodeaudioinfo(static_cast<int>(i), stream.attributes, stream.mode, stream.dolby, name);
        SubStream.addItem(StreamPrefix + std::to_string(i) + " [" + numberedName(SubStream.items(), name) +
                          "]");
    }
    // The streams read before the damage stay listed.
    if (!head || audio.truncated)
        reportDamagedIfo(ifo, "Can't read the audio streams of " + ifo + " !");
    SecSubStream.setItems(SubStream.items());
    if (SubStream.itemCount() > 0) {
        SubStream.setText(SubStream.item(0));
        SecSubStream.setText(SecSubStream.item(0));
    }
}

void TForm1::countAudioStreams(const std::string& commandLine) {
    // Only the count of this run is read: a count that fails must not list another title's streams.
    core::deleteFile(ExternDir + StreamCountFile);
    ExtCommand = commandLine;
    // A count runs on every new first VOB: an extractor that is missing or cannot start (which the
    // start-up check reports) leaves the lists empty without a box each time.
    if (core::fileExists(ExternDir + ExtractorProgram))
        runExternal(false);
    clearStreamList(SubStream);
    clearStreamList(SecSubStream);
    const int count = std::min(readStreamCount(ExternDir).value_or(0), MaxAudioStreams);
    for (int i = 0; i < count; ++i) {
        SubStream.addItem(StreamPrefix + std::to_string(i));
        SecSubStream.addItem(StreamPrefix + std::to_string(i));
    }
    if (count > 0) {
        SubStream.setText(FirstStream);
        SecSubStream.setText(FirstStream);
    }
}

void TForm1::aripChange() {
    VobfileChange();
    if (usesDecoderPrograms(arip.text())) {
        flip.setEnabled(false);
        return;
    }
    // The stream order can be flipped only by the extractor, whether or not the streams are known yet.
    flip.setEnabled(true);
    if (!SubStream.text().empty() || !core::fileExists(Vobfile.text()))
        return;
    countAudioStreams(flippedStreamCountLine(ExternDir, Vobfile.text(), flip.checked()));
}

void TForm1::decodeaudioinfo(int index, uint8_t attributes, uint8_t mode, uint8_t dolby,
                             const std::string& name) {
    for (const std::string& line : audioInfoBlock(index, attributes, mode, dolby, name))
        audioinfo.addLine(line);
}

void TForm1::playStream(const ui::ComboBox& stream) {
    // A stream box without a stream digit names no stream: nothing is started.
    const std::optional<char> digit = streamDigit(stream.text());
    if (!digit)
        return;
    if (usesDecoderPrograms(arip.text()))
        ExtCommand = ac3PlayLine(ExternDir, Vobfile.text(), *digit);
    else
        ExtCommand = tonegrabPlayLine(ExternDir, Vobfile.text(), *digit, Samplerate.text(), flip.checked());
    RunExtProg();
}

void TForm1::PreAudClick() {
    playStream(SubStream);
}

void TForm1::Audio2playClick() {
    playStream(SecSubStream);
}

// ---- Compression ----

void TForm1::mp3wmaChange() {
    const CodecDefaults defaults = codecDefaults(mp3wma.text());
    // The lists first, so that the texts set next are among them.
    setItemsKeepingText(Samplerate, defaults.sampleRates);
    setItemsKeepingText(Bitrate, defaults.bitrates);
    // The mode before the rate: the rate's own handler looks the bit rates up for the mode shown, and
    // a mono mode would turn 44.1 kHz WMA into 32 kHz.
    Mode.setText(defaults.mode);
    Samplerate.setText(defaults.sampleRate);
    Bitrate.setText(defaults.bitrate);
    setautoparam();
}

void TForm1::DispatchSampleBitParams() {
    const CompressionChoice choice = compressionChoice(mp3wma.text(), Mode.text(), Samplerate.text());
    setItemsKeepingText(Samplerate, choice.sampleRates);
    Samplerate.setText(choice.sampleRate);
    setItemsKeepingText(Bitrate, choice.bitrates);
    Bitrate.setText(choice.bitrate);
}

void TForm1::DispatchBitParams() {
    const CompressionChoice choice = compressionChoice(mp3wma.text(), Mode.text(), Samplerate.text());
    Samplerate.setText(choice.sampleRate);
    setItemsKeepingText(Bitrate, choice.bitrates);
    Bitrate.setText(choice.bitrate);
}

void TForm1::ModeChange() {
    DispatchSampleBitParams();
    setautoparam();
}

void TForm1::SamplerateChange() {
    DispatchBitParams();
    setautoparam();
}

void TForm1::GainTrackChange() {
    Gain.setCaption(gainText(GainTrack.position()));
}

// ---- Options that enable one another ----

void TForm1::RipAudioClick() {
    arip.setEnabled(RipAudio.checked());
}

void TForm1::normalClick() {
    Gain.setEnabled(normal.checked());
    GainTrack.setEnabled(normal.checked());
}

void TForm1::compressClick() {
    AudioRange.setEnabled(compress.checked());
    DelWav.setEnabled(compress.checked());
}

void TForm1::AudioRangeClick() {
    ARange1.setEnabled(AudioRange.checked());
    ARange2.setEnabled(AudioRange.checked());
}

void TForm1::MergeClick() {
    const bool merge = Merge.checked();
    if (!merge)
        Autosynch.setChecked(false);
    Autosynch.setEnabled(merge);
    Split.setEnabled(merge);
    const bool splitOptions = merge && Split.checked();
    for (ui::Control* option : std::initializer_list<ui::Control*>{&Vexlor, &sih, &Saft, &splitsize})
        option->setEnabled(splitOptions);
}

void TForm1::SplitClick() {
    for (ui::Control* option : std::initializer_list<ui::Control*>{&Vexlor, &sih, &Saft, &splitsize})
        option->setEnabled(Split.checked());
}

void TForm1::twostreamsClick() {
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{&Label11, &Wav2, &Label14, &SecSubStream, &Audio2Play,
                                             &chooseaviss2, &Label20, &compressedSS2, &AviSS2, &ss2path})
        control->setEnabled(twostreams.checked());
    isfileok();
}

void TForm1::splitsizeChange() {
    int32_t value = 0;
    const std::string text = splitsize.text();
    if (text.empty() || (core::tryStrToInt(text, value) && value == 0))
        splitsize.setText("0");
}

} // namespace kes
