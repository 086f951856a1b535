#include "tools/synchronizer/frame_view.h"

#include "platform/ui/application.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace tools::synchronizer {

namespace {

constexpr int EscapeKey = 27;
constexpr int EnterKey = 13;
constexpr int BackspaceKey = 8;
constexpr int TabKey = 9;
constexpr uint32_t Black = 0xFF000000u;

// The toolkit's key code of a key event: 0 when it types nothing the handlers look at.
char keyCode(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Escape:
        return static_cast<char>(EscapeKey);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return static_cast<char>(EnterKey);
    case Qt::Key_Backspace:
        return static_cast<char>(BackspaceKey);
    case Qt::Key_Tab:
        return static_cast<char>(TabKey);
    default:
        break;
    }
    const QByteArray text = event.text().toUtf8();
    return text.isEmpty() ? '\0' : text.front();
}

} // namespace

FrameWidget::FrameWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FrameWidget::drawPixels(int x, int y, int width, int height, const uint32_t* argb) {
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || argb == nullptr)
        return;
    const int needWidth = std::max(picture_.width(), x + width);
    const int needHeight = std::max(picture_.height(), y + height);
    if (needWidth != picture_.width() || needHeight != picture_.height()) {
        QImage grown(needWidth, needHeight, QImage::Format_RGB32);
        grown.fill(Black);
        if (!picture_.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(0, 0, picture_);
        }
        picture_ = std::move(grown);
    }
    for (int row = 0; row < height; ++row)
        std::memcpy(picture_.scanLine(y + row) + static_cast<size_t>(x) * sizeof(uint32_t),
                    argb + static_cast<size_t>(row) * static_cast<size_t>(width),
                    static_cast<size_t>(width) * sizeof(uint32_t));
    update();
}

void FrameWidget::clearPicture() {
    picture_ = QImage();
    update();
}

void FrameWidget::setScaled(bool on) {
    scaled_ = on;
    update();
}

void FrameWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (picture_.isNull())
        return;
    if (scaled_)
        painter.drawImage(rect(), picture_);
    else
        painter.drawImage(0, 0, picture_);
}

void FrameWidget::keyPressEvent(QKeyEvent* event) {
    char key = keyCode(*event);
    if (key != '\0' && onKey)
        platform::ui::runHandler([&] { onKey(key); });
    else
        QWidget::keyPressEvent(event);
}

FrameView::FrameView(ui::Container& parent) : ui::Control(&parent, new FrameWidget) {}

FrameWidget* FrameView::frames() const {
    return static_cast<FrameWidget*>(widget());
}

} // namespace tools::synchronizer
