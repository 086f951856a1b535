// The paint box and its widget, and the list of paint stages.

#include "g32/g32_image.h"
#include "g32/paint_box_widget.h"
#include "platform/gdi/device_context.h"
#include "platform/ui/application.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace g32 {

namespace {

constexpr int DefaultSize = 192;

platform::ui::MouseButton buttonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton:
        return platform::ui::MouseButton::Right;
    case Qt::MiddleButton:
        return platform::ui::MouseButton::Middle;
    default:
        return platform::ui::MouseButton::Left;
    }
}

TShiftState shiftOf(const QMouseEvent& e) {
    TShiftState s = 0;
    if (e.modifiers() & Qt::ShiftModifier)
        s |= ssShift;
    if (e.modifiers() & Qt::AltModifier)
        s |= ssAlt;
    if (e.modifiers() & Qt::ControlModifier)
        s |= ssCtrl;
    if (e.buttons() & Qt::LeftButton)
        s |= ssLeft;
    if (e.buttons() & Qt::RightButton)
        s |= ssRight;
    if (e.buttons() & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

QPoint positionOf(const QMouseEvent* e) {
    return e->position().toPoint();
}

} // namespace

namespace detail {

PaintBoxWidget::PaintBoxWidget() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

TCustomImage32* PaintBoxWidget::image() const {
    return dynamic_cast<TCustomImage32*>(owner_);
}

void PaintBoxWidget::paintEvent(QPaintEvent* /*event*/) {
    if (!owner_)
        return;
    QPainter painter(this);
    owner_->Paint(painter);
}

void PaintBoxWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (owner_)
        owner_->Resized();
}

void PaintBoxWidget::mousePressEvent(QMouseEvent* e) {
    if (TCustomImage32* img = image())
        img->MouseDown(buttonOf(e->button()), shiftOf(*e), positionOf(e).x(), positionOf(e).y());
}

void PaintBoxWidget::mouseMoveEvent(QMouseEvent* e) {
    if (TCustomImage32* img = image())
        img->MouseMove(shiftOf(*e), positionOf(e).x(), positionOf(e).y());
}

void PaintBoxWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (TCustomImage32* img = image())
        img->MouseUp(buttonOf(e->button()), shiftOf(*e), positionOf(e).x(), positionOf(e).y());
}

void PaintBoxWidget::enterEvent(QEnterEvent* /*event*/) {
    if (TCustomImage32* img = image())
        img->MouseEnter();
}

void PaintBoxWidget::leaveEvent(QEvent* /*event*/) {
    if (TCustomImage32* img = image())
        img->MouseLeave();
}

PaintBoxWidget* boxWidget(const platform::ui::Control& c) {
    return static_cast<PaintBoxWidget*>(c.widget());
}

} // namespace detail

using detail::boxWidget;

// --- TPaintStages ---

TPaintStage& TPaintStages::Add() {
    FItems.emplace_back();
    return FItems.back();
}

TPaintStage& TPaintStages::Insert(int Index) {
    const auto at = static_cast<std::size_t>(std::clamp(Index, 0, Count()));
    return *FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), TPaintStage{});
}

void TPaintStages::Delete(int Index) {
    if (Index >= 0 && Index < Count())
        FItems.erase(FItems.begin() + Index);
}

// --- TCustomPaintBox32 ---

TCustomPaintBox32::TCustomPaintBox32(platform::ui::Container& Parent)
    : Control(&Parent, new detail::PaintBoxWidget) {
    // The buffer's own changes notify nobody: its update is opened for good.
    FBuffer.BeginUpdate();
    setBounds(left(), top(), DefaultSize, DefaultSize);
    boxWidget(*this)->attach(this);
}

TCustomPaintBox32::~TCustomPaintBox32() {
    if (widget())
        boxWidget(*this)->attach(nullptr);
}

void TCustomPaintBox32::Invalidate() {
    FBufferValid = false;
    if (widget())
        widget()->update();
}

void TCustomPaintBox32::Resized() {
    FBufferValid = false;
}

TRect TCustomPaintBox32::ViewportRect() const {
    return MakeRect(0, 0, width(), height());
}

void TCustomPaintBox32::ResizeBuffer() {
    const TRect viewport = ViewportRect();
    const int newWidth = std::max(viewport.Right - viewport.Left, 0);
    const int newHeight = std::max(viewport.Bottom - viewport.Top, 0);
    int w = FBuffer.Width();
    int h = FBuffer.Height();
    if (newWidth == w && newHeight == h)
        return;
    if (BufferOversize < 0) {
        w = newWidth;
        h = newHeight;
    } else {
        if (newWidth > w)
            w = newWidth + BufferOversize;
        else if (newWidth < w - BufferOversize)
            w = newWidth;
        if (newHeight > h)
            h = newHeight + BufferOversize;
        else if (newHeight < h - BufferOversize)
            h = newHeight;
    }
    if (FBuffer.SetSize(w, h))
        FBufferValid = false;
}

void TCustomPaintBox32::Paint(QPainter& Canvas) {
    ResizeBuffer();
    if (!FBufferValid) {
        ComposeBuffer();
        FBufferValid = true;
    }
    if (!FBuffer.Empty()) {
        const TRect r = ViewportRect();
        FBuffer.Lock();
        platform::gdi::paintTo(Canvas, r.Left, r.Top, *FBuffer.Handle(), 0, 0, r.Right - r.Left,
                               r.Bottom - r.Top);
        FBuffer.Unlock();
    }
    PaintOverlay(Canvas);
}

void TCustomPaintBox32::PaintOverlay(QPainter& /*Canvas*/) {
    if (OnGDIOverlay)
        platform::ui::runHandler(OnGDIOverlay);
}

} // namespace g32
