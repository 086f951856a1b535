#include "outside/mpeg2avi/runs.h"

#include "outside/mpeg2avi/adjust_file.h"
#include "outside/mpeg2avi/conversion.h"
#include "outside/mpeg2avi/mpeg2_source.h"
#include "outside/mpeg2avi/preview_window.h"
#include "outside/mpeg2avi/progress_window.h"
#include "outside/mpeg2avi/vob_input.h"
#include "platform/core/paths.h"
#include "platform/ui/dialog_script.h"
#include "platform/vfw/compressor_choose.h"

#include <QGuiApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace mpeg2avi {

namespace {

constexpr int kPumpSliceMs = 20;

int failWith(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kExitFailed;
}

void pumpWhile(const std::function<bool()>& condition) {
    while (condition()) {
        platform::ui::processMessages();
        QThread::msleep(kPumpSliceMs);
    }
}

bool scriptInEnvironment() {
    const char* script = std::getenv(platform::ui::testing::ScriptEnv);
    const char* log = std::getenv(platform::ui::testing::LogEnv);
    return (script && *script) || (log && *log);
}

bool noDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

std::string titleOf(const ConvertOptions& options) {
    return "Mpeg2Avi - " + outputName(options, 1);
}

} // namespace

int runConversion(const ConvertOptions& options) {
    std::string error;
    auto conversion = Conversion::prepare(options, error);
    if (!conversion)
        return failWith(error);
    if (!conversion->warning().empty())
        std::fprintf(stderr, "%s\n", conversion->warning().c_str());
    for (int output = 1; output <= (options.dual ? 2 : 1); ++output) {
        auto compressor = platform::vfw::chooseCompressor(output, error);
        if (!compressor)
            return failWith(error.empty() ? "No compressor was chosen." : error);
        if (!conversion->attach(output, std::move(compressor), error))
            return failWith(error);
    }
    ConversionProgress progress;
    std::atomic<bool> done{false};
    bool converted = false;
    std::string runError;
    ProgressWindow window(titleOf(options), progress, done);
    window.show();
    std::thread worker([&] {
        converted = conversion->run(progress, runError);
        done = true;
    });
    pumpWhile([&] { return !done; });
    worker.join();
    window.close();
    if (const int64_t damaged = conversion->damagedPictures(); damaged > 0)
        std::fprintf(stderr, "%lld damaged pictures were skipped.\n", static_cast<long long>(damaged));
    if (!converted) {
        if (progress.stopRequested) {
            std::fprintf(stderr, "Stopped: no AVI file was written.\n");
            return kExitStopped;
        }
        return failWith(runError);
    }
    return kExitDone;
}

int runPreview(const ConvertOptions& options) {
    std::string error;
    auto input = VobInput::open(options.list, error);
    if (!input)
        return failWith(error);
    auto source = Mpeg2Source::open(*input, {options.idct, options.startSector}, error);
    if (!source)
        return failWith(error);
    const bool scripted = scriptInEnvironment();
    if (!scripted && noDisplay())
        return failWith("The preview needs a display, and there is none: nothing was changed.");
    PreviewWindow window(options, *source);
    window.show();
    AdjustValues values;
    if (scripted) {
        platform::ui::processMessages();
        std::string answer;
        platform::ui::testing::scriptedAnswer("preview", window.caption(), adjustLine(window.values()),
                                              "Cancel", answer);
        window.close();
        if (answer == "Cancel")
            return kExitDone;
        values = window.values();
        if (answer != "OK" && !parseAdjustItems(platform::ui::testing::literalAnswer(answer), values, error))
            return failWith("The preview's answer \"" + answer + "\" cannot be used: " + error);
    } else {
        pumpWhile([&] { return window.isShowing(); });
        if (!window.confirmed())
            return kExitDone;
        values = window.values();
    }
    const std::string folder = platform::core::extractFilePath(platform::ui::programFile());
    if (!writeAdjustFile(folder, values))
        return failWith("The file " + platform::core::joinPath(folder, kAdjustFileName) +
                        " cannot be written.");
    return kExitDone;
}

} // namespace mpeg2avi
