#include "outside/ac3dec/ac3dec_run.h"

#include "outside/ac3dec/play_window.h"
#include "outside/ac3dec/stream_decoder.h"
#include "outside/dvd_audio/substream_arg.h"
#include "outside/dvd_audio/tool_message.h"

#include "platform/core/paths.h"
#include "platform/dshow/filters/audio_output.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <cstdlib>
#include <vector>

namespace outside::ac3dec {

using namespace outside::dvd_audio;
namespace filters = platform::dshow::filters;
namespace ui = platform::ui;

namespace {

constexpr const char* kCaption = "AC3 player";

// Without a display the window is made all the same, off screen: nobody can press Stop, and the
// stream plays to its end.
void chooseOffscreenWithoutDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (!set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int failWithBox(const std::string& message) {
    tellUser(kProgram, message);
    ui::errorBox(message, kCaption);
    return kExitFailed;
}

} // namespace

int playStream(const Ac3DecOptions& options, int& argc, char** argv) {
    chooseOffscreenWithoutDisplay();
    ui::Application application(argc, argv);
    OpenedStream stream;
    std::string error;
    if (!openStream(options, stream, error))
        return failWithBox(error);
    StreamDecoder decoder;
    if (!decoder.open(options.sampleRate(), error))
        return failWithBox(error);

    filters::PlaybackGate gate;
    gate.setRunning(true);
    const filters::WaveFormat format = filters::pcmWaveFormat(options.sampleRate(), 2, 16);
    std::unique_ptr<filters::AudioOutput> output = filters::openDeviceOutput(format, gate);
    if (!output)
        output = filters::makePacedOutput(format, gate);

    PlayWindow window("Playing " + subStreamText(options.subStream) + " of " +
                      platform::core::extractFileName(options.vob));
    window.onStop = [&gate] { gate.cancel(); };
    window.show();

    std::vector<uint8_t> pcm;
    std::span<const uint8_t> payload;
    bool deviceFailed = false;
    while (!window.stopRequested()) {
        const auto step = stream.reader->next(payload);
        if (step == SubStreamReader::Step::Error)
            return failWithBox("The VOB files could not be read to their end.");
        if (step == SubStreamReader::Step::End)
            decoder.finish(pcm);
        else
            decoder.decode(payload, stream.reader->pts(), pcm);
        if (!pcm.empty() && !output->play(pcm) && !window.stopRequested()) {
            deviceFailed = true;
            break;
        }
        pcm.clear();
        ui::processMessages();
        if (step == SubStreamReader::Step::End) {
            output->drain();
            break;
        }
    }
    if (window.stopRequested())
        output->discard();
    window.hide();
    if (deviceFailed)
        return failWithBox("The sound card stopped playing.");
    return kExitOk;
}

} // namespace outside::ac3dec
