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
        QMutexLocker lock(&mutex_);
        picture_ = picture;
    }
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

QImage VideoWindow::picture() const {
    QMutexLocker lock(&mutex_);
    return picture_;
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QImage shown = picture();
    if (shown.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), shown);
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
