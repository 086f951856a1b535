#pragma once

// Internal to the image control: the widget of a paint box. It paints from the box's buffer, never
// erases its background, and hands resizes and mouse events on to the box.

#include <QWidget>

namespace platform::ui {
class Control;
}

namespace g32 {

class TCustomPaintBox32;
class TCustomImage32;

namespace detail {

class PaintBoxWidget : public QWidget {
public:
    PaintBoxWidget();
    void attach(TCustomPaintBox32* owner) { owner_ = owner; }
    TCustomImage32* image() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TCustomPaintBox32* owner_ = nullptr;
};

PaintBoxWidget* boxWidget(const platform::ui::Control& c);

} // namespace detail
} // namespace g32
