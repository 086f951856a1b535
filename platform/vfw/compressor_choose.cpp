#include "platform/vfw/compressor_choose.h"

#include "platform/core/process.h"
#include "platform/ui/dialog_script.h"
#include "platform/vfw/codec_dialog_channel.h"
#include "platform/vfw/compressor_dialog.h"
#include "platform/vfw/compressor_windows.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <chrono>

namespace platform::vfw {

namespace {

namespace script = platform::ui::testing;
using Clock = std::chrono::steady_clock;

bool haveDisplay() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

std::string dialogName(int number) {
    return "The codec dialog " + std::to_string(number);
}

// Runs an automation's items on the dialog; false with a message when one could not be done.
bool runScript(CompressorDialog& dialog, const std::vector<std::string>& texts, std::string& error) {
    std::vector<AutomationItem> items;
    return parseAutomationScript(texts, items, error) && dialog.run(items, error);
}

std::unique_ptr<VideoCompressor> finish(CompressorDialog& dialog, std::string& error) {
    if (dialog.outcome() == CompressorDialog::Outcome::Accepted)
        return dialog.take();
    if (error.empty())
        error = dialog.outcome() == CompressorDialog::Outcome::Cancelled
                    ? dialogName(dialog.number()) + " was cancelled"
                    : dialogName(dialog.number()) + " was left open: its script did not press OK";
    return nullptr;
}

// The dialog script's answer, when it holds one: an automation line or "Cancel".
bool scriptedLine(int number, std::string& line) {
    if (!script::scriptGiven())
        return false;
    std::string answer;
    if (!script::scriptedAnswer("codec", ChooserTitle, std::to_string(number), "", answer))
        return false;
    line = script::literalAnswer(answer);
    return !answer.empty();
}

std::unique_ptr<VideoCompressor> answerHeadless(CompressorDialog& dialog, DialogListener& listener,
                                                std::string& error) {
    const int limit = codecChannelTimeoutMs();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    while (dialog.outcome() == CompressorDialog::Outcome::Open) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            error = dialogName(dialog.number()) +
                    " has no display to show on and no automation answered it within " +
                    std::to_string(limit / 1000) + " seconds";
            return nullptr;
        }
        auto request = listener.accept(static_cast<int>(left));
        if (!request)
            continue;
        std::string why;
        const bool ok = runScript(dialog, request->items(), why);
        request->reply(ok, why);
        if (!ok) {
            error = dialogName(dialog.number()) + ": " + why;
            return nullptr;
        }
    }
    return finish(dialog, error);
}

std::unique_ptr<VideoCompressor> answerOnScreen(CompressorDialog& dialog, DialogListener& listener,
                                                std::string& error) {
    ChooserWindow window(dialog);
    QEventLoop loop;
    dialog.changed = [&] {
        window.refresh();
        if (dialog.outcome() != CompressorDialog::Outcome::Open)
            loop.quit();
    };
    QSocketNotifier notifier(listener.descriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&] {
        auto request = listener.accept(0);
        if (!request)
            return;
        std::string why;
        const bool ok = runScript(dialog, request->items(), why);
        request->reply(ok, why);
    });
    window.show();
    window.raise();
    if (dialog.outcome() == CompressorDialog::Outcome::Open)
        loop.exec();
    dialog.changed = nullptr;
    window.hide();
    return finish(dialog, error);
}

} // namespace

std::unique_ptr<VideoCompressor> chooseCompressor(int dialogNumber, std::string& error) {
    error.clear();
    CompressorDialog dialog(dialogNumber);
    if (dialog.codecs().empty()) {
        error = "No video compressor is installed in " + codecSystemFolder();
        return nullptr;
    }
    std::string line;
    if (scriptedLine(dialogNumber, line)) {
        if (line == "Cancel") {
            dialog.cancel();
            return finish(dialog, error);
        }
        std::string why;
        if (!runScript(dialog, core::splitCommandLine(line), why)) {
            error = dialogName(dialogNumber) + ": " + why;
            return nullptr;
        }
        return finish(dialog, error);
    }
    DialogListener listener;
    if (!listener.listen(dialogNumber, error))
        return nullptr;
    return haveDisplay() ? answerOnScreen(dialog, listener, error) : answerHeadless(dialog, listener, error);
}

} // namespace platform::vfw
