#include "platform/dshow/filters/video_window.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPainter>

namespace platform::dshow::filters {

VideoWindow::VideoWindow() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void VideoWindow::setPicture(const QImage& picture) {
    {
        std::lock_guard lock(mutex_);
        picture_ = picture;
    }
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

QImage VideoWindow::picture() const {
    std::lock_guard lock(mutex_);
    return picture_.copy();
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(mutex_);
    if (picture_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), picture_);
}

void VideoWindow::keyPressEvent(QKeyEvent* event) {
    if (!drain_) {
        QWidget::keyPressEvent(event);
        return;
    }
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                   static_cast<ushort>(event->count()));
    QCoreApplication::sendEvent(drain_, &copy);
}

} // namespace platform::dshow::filters
