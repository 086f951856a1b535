#pragma once

// An image control: shows a picture, stretched, centred or at its own size; clicks and mouse presses
// arrive with the position in the control.

#include "platform/ui/control.h"

#include <QImage>

#include <string>

class QPainter;

namespace platform::ui {

class Image : public Control {
public:
    explicit Image(Container& parent);

    // Loads a picture file (BMP, JPEG, PNG, ... by content); false, and the picture unchanged, on failure.
    bool loadFromFile(const std::string& path);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    bool empty() const { return picture_.isNull(); }
    void clear();

    // Scale the picture to the control's size.
    void setStretch(bool on);
    // Keep the aspect ratio when stretching.
    void setProportional(bool on);
    void setCenter(bool on);
    // Size the control to its picture whenever the picture changes.
    void setAutoSize(bool on);

    // Called by the widget to paint (public for the widget class only).
    void paintOn(QPainter& painter) const;

private:
    QImage picture_;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
    bool autoSize_ = false;
};

} // namespace platform::ui
