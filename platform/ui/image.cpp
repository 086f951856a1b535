#include "platform/ui/image.h"

#include <QImageReader>
#include <QPainter>
#include <QWidget>

namespace platform::ui {

namespace {

class ImageWidget : public QWidget {
public:
    explicit ImageWidget(const Image* owner) : owner_(owner) {}

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        owner_->paintOn(painter);
    }

private:
    const Image* owner_;
};

} // namespace

Image::Image(Container& parent) : Control(&parent, new ImageWidget(this)) {
    clickOnRelease_ = true;
}

bool Image::loadFromFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    QImage loaded = reader.read();
    if (loaded.isNull())
        return false;
    setPicture(loaded);
    return true;
}

void Image::setPicture(const QImage& picture) {
    picture_ = picture;
    if (autoSize_ && !picture_.isNull())
        setBounds(left(), top(), picture_.width(), picture_.height());
    if (widget())
        widget()->update();
}

void Image::clear() {
    setPicture(QImage());
}

void Image::setStretch(bool on) {
    stretch_ = on;
    if (widget())
        widget()->update();
}

void Image::setProportional(bool on) {
    proportional_ = on;
    if (widget())
        widget()->update();
}

void Image::setCenter(bool on) {
    center_ = on;
    if (widget())
        widget()->update();
}

void Image::setAutoSize(bool on) {
    autoSize_ = on;
    if (on && !picture_.isNull())
        setBounds(left(), top(), picture_.width(), picture_.height());
}

void Image::paintOn(QPainter& painter) const {
    const QWidget* own = widget();
    if (picture_.isNull() || !own)
        return;
    const QRect area = own->rect();
    QSize size = picture_.size();
    if (stretch_)
        size = proportional_ ? picture_.size().scaled(area.size(), Qt::KeepAspectRatio) : area.size();
    QRect target(QPoint(0, 0), size);
    if (center_)
        target.moveCenter(area.center());
    painter.drawImage(target, picture_);
}

} // namespace platform::ui
