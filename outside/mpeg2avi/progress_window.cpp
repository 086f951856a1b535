#include "outside/mpeg2avi/progress_window.h"

#include "platform/ui/dialog_script.h"

#include <cstdio>

namespace mpeg2avi {

namespace {
constexpr int kBarSteps = 1000;
}

std::string clockText(int64_t seconds) {
    seconds = std::max<int64_t>(0, seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

ProgressTexts progressTexts(int64_t done, int64_t total, double seconds) {
    ProgressTexts t;
    total = std::max(total, done);
    t.frames = "Frames: " + std::to_string(done) + " / " + std::to_string(total);
    const double fps = seconds > 0 ? done / seconds : 0.0;
    char speed[48];
    std::snprintf(speed, sizeof speed, "Speed: %.1f fps", fps);
    t.speed = speed;
    t.left =
        "Time left: " + (fps > 0 ? clockText(static_cast<int64_t>((total - done) / fps + 0.5)) : "--:--:--");
    return t;
}

ProgressWindow::ProgressWindow(const std::string& title, ConversionProgress& progress,
                               const std::atomic<bool>& done)
    : progress_(progress), done_(done) {
    setCaption(title);
    setBorderStyle(platform::ui::BorderStyle::Single);
    setClientSize(360, 150);
    Frames.setBounds(12, 12, 330, 18);
    Speed.setBounds(12, 34, 330, 18);
    Left.setBounds(12, 56, 330, 18);
    Bar.setBounds(12, 82, 336, 18);
    Bar.setMax(kBarSteps);
    Stop.setBounds(140, 112, 80, 26);
    Stop.onClick = [this] { StopClick(); };
    onCloseQuery = [this](bool& canClose) {
        // Closing the window is a stop; the window goes once the conversion has ended.
        if (!done_) {
            progress_.stopRequested = true;
            canClose = false;
        }
    };
    Ticker.onTimer = [this] { refresh(); };
    Ticker.setEnabled(true);
    create();
    refresh();
}

void ProgressWindow::refresh() {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const int64_t done = progress_.framesDone, total = progress_.framesTotal;
    const ProgressTexts t = progressTexts(done, total, seconds);
    Frames.setCaption(t.frames);
    Speed.setCaption(t.speed);
    Left.setCaption(t.left);
    Bar.setPosition(total > 0 ? static_cast<int>(std::min<int64_t>(done, total) * kBarSteps / total) : 0);
    if (!done_)
        askScript(t);
    if (done_) {
        Ticker.setEnabled(false);
        close();
    }
}

void ProgressWindow::askScript(const ProgressTexts& texts) {
    if (scriptAsked_ || !platform::ui::testing::scriptGiven())
        return;
    scriptAsked_ = true;
    std::string answer;
    platform::ui::testing::scriptedAnswer("progress", caption(), texts.frames, "", answer);
    if (answer == "Stop")
        StopClick();
}

void ProgressWindow::StopClick() {
    progress_.stopRequested = true;
    Stop.setEnabled(false);
}

} // namespace mpeg2avi
