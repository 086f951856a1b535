#pragma once

// Where the synchronizer's players show their frames: a widget that DrawDib draws on (it is the
// DrawSurface standing for the window's device context) and that paints what was drawn, at its own
// size or scaled to the widget.

#include "platform/ui/control.h"
#include "platform/vfw/drawdib.h"

#include <QImage>
#include <QWidget>

#include <functional>

namespace tools::synchronizer {

namespace ui = platform::ui;

class FrameWidget : public QWidget, public platform::vfw::DrawSurface {
public:
    explicit FrameWidget(QWidget* parent = nullptr);

    // DrawSurface: the picture grows to hold every block drawn on it.
    void drawPixels(int x, int y, int width, int height, const uint32_t* argb) override;

    const QImage& picture() const { return picture_; }
    void clearPicture();
    // Scale the picture to the widget's size (the preview's zoom and full screen) or draw it unscaled.
    void setScaled(bool on);

    // A key typed while the widget has the focus, as a toolkit key code (control keys below 32).
    std::function<void(char& key)> onKey;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QImage picture_;
    bool scaled_ = false;
};

// The same widget as a control placed on a form.
class FrameView : public ui::Control {
public:
    explicit FrameView(ui::Container& parent);
    FrameWidget* frames() const;
};

} // namespace tools::synchronizer
