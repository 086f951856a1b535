#pragma once

// The window of the video renderer: shows the latest picture scaled to the window, may be moved, sized,
// put full screen and closed by the user, and passes the keys typed into it to the message drain while
// one is set. It lives on the window thread; pictures come to it through setPicture, from any thread.

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <mutex>

namespace platform::dshow::filters {

class VideoWindow final : public QWidget {
public:
    VideoWindow();

    // Thread-safe: keeps the picture and asks for a repaint on the window thread.
    void setPicture(const QImage& picture);
    // A copy of its own of the picture shown.
    QImage picture() const;

    void setDrain(QWidget* drain) { drain_ = drain; }
    QWidget* drain() const { return drain_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Guards the picture; the window draws it while holding the lock, so that a new picture never
    // frees the bytes of the old one while they are read.
    mutable std::mutex mutex_;
    QImage picture_;
    QPointer<QWidget> drain_;
};

} // namespace platform::dshow::filters
