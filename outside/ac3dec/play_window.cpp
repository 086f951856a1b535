#include "outside/ac3dec/play_window.h"

namespace outside::ac3dec {

namespace ui = platform::ui;

namespace {
constexpr int kWidth = 360;
constexpr int kHeight = 84;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
} // namespace

PlayWindow::PlayWindow(const std::string& what) {
    setCaption("AC3 player");
    setBorderStyle(ui::BorderStyle::ToolWindow);
    setClientSize(kWidth, kHeight);
    setPosition(ui::FormPosition::ScreenCenter);
    Playing.setCaption(what);
    Playing.setBounds(kMargin, kMargin, kWidth - 2 * kMargin, 18);
    Stop.setBounds((kWidth - kButtonWidth) / 2, kHeight - kMargin - kButtonHeight, kButtonWidth,
                   kButtonHeight);
    Stop.onClick = [this] { requestStop(); };
    onClose = [this](ui::CloseAction& action) {
        action = ui::CloseAction::Hide;
        requestStop();
    };
    create();
}

void PlayWindow::requestStop() {
    if (stopRequested_)
        return;
    stopRequested_ = true;
    if (onStop)
        onStop();
}

} // namespace outside::ac3dec
