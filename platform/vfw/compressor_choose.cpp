#include "platform/vfw/compressor_choose.h"

#include "platform/core/process.h"
#include "platform/ui/dialog_script.h"
#include "platform/vfw/codec_dialog_channel.h"
#include "platform/vfw/compressor_dialog.h"
#include "platform/vfw/compressor_windows.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

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

// Runs the script of an automation that offers one, and answers it; false when none offers one.
bool answerAutomation(CompressorDialog& dialog, std::string& error) {
    auto request = takeAutomation(dialog.number());
    if (!request)
        return false;
    std::string why;
    const bool ok = runScript(dialog, request->items(), why);
    request->reply(ok, why);
    if (!ok)
        error = dialogName(dialog.number()) + ": " + why;
    return true;
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

std::unique_ptr<VideoCompressor> answerHeadless(CompressorDialog& dialog, std::string& error) {
    const int limit = codecChannelTimeoutMs();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    while (!answerAutomation(dialog, error)) {
        if (Clock::now() >= deadline) {
            error = dialogName(dialog.number()) +
                    " has no display to show on and no automation answered it within " +
                    std::to_string(limit / 1000) + " seconds";
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(CodecChannelPollMs));
    }
    return finish(dialog, error);
}

std::unique_ptr<VideoCompressor> answerOnScreen(CompressorDialog& dialog, std::string& error) {
    ChooserWindow window(dialog);
    QEventLoop loop;
    dialog.changed = [&] {
        window.refresh();
        if (dialog.outcome() != CompressorDialog::Outcome::Open)
            loop.quit();
    };
    // An automation may still come while the person looks at the window; one that fails leaves the
    // window to the person, its message shown.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        std::string why;
        if (answerAutomation(dialog, why) && !why.empty())
            window.showMessage(why);
    });
    poll.start(CodecChannelPollMs);
    window.show();
    window.raise();
    if (dialog.outcome() == CompressorDialog::Outcome::Open)
        loop.exec();
    poll.stop();
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
    const bool scripted = script::scriptGiven();
    std::string answer;
    if (scripted && script::scriptedAnswer("codec", ChooserTitle, std::to_string(dialogNumber), "", answer) &&
        !answer.empty()) {
        const std::string line = script::literalAnswer(answer);
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
    // An automation started before the dialog is waiting with its script already.
    if (answerAutomation(dialog, error)) {
        if (scripted)
            script::correctLastAnswer("automation");
        if (!error.empty() || dialog.outcome() != CompressorDialog::Outcome::Open || !haveDisplay())
            return finish(dialog, error);
    } else if (scripted) {
        // A script without an answer for this dialog presses OK, as for any box.
        script::correctLastAnswer("OK");
        dialog.accept(error);
        return finish(dialog, error);
    }
    return haveDisplay() ? answerOnScreen(dialog, error) : answerHeadless(dialog, error);
}

} // namespace platform::vfw
