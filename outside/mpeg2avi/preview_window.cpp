#include "outside/mpeg2avi/preview_window.h"

#include "outside/mpeg2avi/geometry.h"
#include "outside/mpeg2avi/mpeg2_source.h"
#include "outside/mpeg2avi/picture_filter.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QImage>

#include <charconv>

namespace mpeg2avi {

namespace {

constexpr int kPictureLeft = 8;
constexpr int kPictureTop = 8;
constexpr int kMaxPictureWidth = 720;
constexpr int kMaxPictureHeight = 576;

std::optional<int> sideOf(const platform::ui::Edit& edit) {
    const std::string text = edit.text();
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < kAdjustMinSide ||
        value > kAdjustMaxSide)
        return std::nullopt;
    return value;
}

} // namespace

AdjustValues startValues(const ConvertOptions& options) {
    return {options.width, options.height, options.cropWidth, options.cropHeight};
}

PreviewWindow::PreviewWindow(const ConvertOptions& options, Mpeg2Source& source)
    : options_(options), source_(source), decoded_(av_frame_alloc()), filtered_(av_frame_alloc()) {
    options_.colour = ColourFormat::RGB24;
    setCaption("MPEG-2 preview");
    layOut();
    const AdjustValues start = startValues(options);
    XSize.setTextSilent(std::to_string(start.width.value_or(source.width())));
    YSize.setTextSilent(std::to_string(start.height.value_or(source.height())));
    XCrop.setTextSilent(std::to_string(start.cropWidth.value_or(start.width.value_or(source.width()))));
    YCrop.setTextSilent(std::to_string(start.cropHeight.value_or(start.height.value_or(source.height()))));
    ResizeX.setCheckedSilent(start.width.has_value());
    ResizeY.setCheckedSilent(start.height.has_value());
    CropBox.setCheckedSilent(start.cropWidth.has_value());
    for (platform::ui::Edit* edit : {&XSize, &YSize, &XCrop, &YCrop})
        edit->onChange = [this] { rebuildFilter(); };
    for (platform::ui::CheckBox* box : {&ResizeX, &ResizeY, &CropBox})
        box->onClick = [this] { rebuildFilter(); };
    OkButton.onClick = [this] { OkClick(); };
    CancelButton.onClick = [this] { close(); };
    Play.onClick = [this] { PlayClick(); };
    const FrameRate rate = source.codedRate();
    Frames.setInterval(std::max(1, 1000 * rate.den / rate.num));
    Frames.onTimer = [this] {
        if (!showNextPicture())
            Frames.setEnabled(false);
    };
    rebuildFilter();
    create();
    showNextPicture();
    Frames.setEnabled(true);
}

PreviewWindow::~PreviewWindow() {
    av_frame_free(&decoded_);
    av_frame_free(&filtered_);
}

void PreviewWindow::layOut() {
    setClientSize(kMaxPictureWidth + 2 * kPictureLeft, kMaxPictureHeight + 80);
    Picture.setBounds(kPictureLeft, kPictureTop, kMaxPictureWidth, kMaxPictureHeight);
    Picture.setCenter(true);
    const int row1 = kPictureTop + kMaxPictureHeight + 10, row2 = row1 + 30;
    ResizeX.setBounds(8, row1, 80, 22);
    XSize.setBounds(90, row1, 50, 22);
    ResizeY.setBounds(150, row1, 80, 22);
    YSize.setBounds(232, row1, 50, 22);
    CropBox.setBounds(300, row1, 60, 22);
    XCrop.setBounds(362, row1, 50, 22);
    YCrop.setBounds(420, row1, 50, 22);
    Play.setBounds(8, row2, 80, 26);
    OkButton.setBounds(kMaxPictureWidth - 172, row2, 80, 26);
    CancelButton.setBounds(kMaxPictureWidth - 84, row2, 80, 26);
}

AdjustValues PreviewWindow::values() const {
    AdjustValues v;
    if (ResizeX.checked())
        v.width = sideOf(XSize);
    if (ResizeY.checked())
        v.height = sideOf(YSize);
    if (CropBox.checked()) {
        v.cropWidth = sideOf(XCrop);
        v.cropHeight = sideOf(YCrop);
        if (!v.cropWidth || !v.cropHeight)
            v.cropWidth = v.cropHeight = std::nullopt;
    }
    return v;
}

void PreviewWindow::setValues(const AdjustValues& v) {
    rebuilding_ = true;
    ResizeX.setChecked(v.width.has_value());
    if (v.width)
        XSize.setText(std::to_string(*v.width));
    ResizeY.setChecked(v.height.has_value());
    if (v.height)
        YSize.setText(std::to_string(*v.height));
    CropBox.setChecked(v.cropWidth.has_value());
    if (v.cropWidth) {
        XCrop.setText(std::to_string(*v.cropWidth));
        YCrop.setText(std::to_string(*v.cropHeight));
    }
    rebuilding_ = false;
    rebuildFilter();
}

void PreviewWindow::rebuildFilter() {
    if (rebuilding_)
        return;
    const AdjustValues v = values();
    ConvertOptions o = options_;
    o.width = v.width;
    o.height = v.height;
    o.cropWidth = v.cropWidth;
    o.cropHeight = v.cropHeight;
    std::string note, error;
    const Geometry g = planGeometry(o, source_.width(), source_.height(), note);
    const SourceFormat format{source_.width(),  source_.height(), source_.pixelFormat(),
                              source_.sarNum(), source_.sarDen(), source_.codedRate()};
    if (auto filter = PictureFilter::create(o, g, format, error))
        filter_ = std::move(filter);
}

bool PreviewWindow::showNextPicture() {
    int64_t time = 0;
    while (source_.next(decoded_, time)) {
        const bool pushed = filter_ && filter_->push(decoded_, time);
        av_frame_unref(decoded_);
        if (!pushed)
            continue;
        if (filter_->pull(filtered_, time)) {
            QImage image(filtered_->data[0], filtered_->width, filtered_->height, filtered_->linesize[0],
                         QImage::Format_BGR888);
            Picture.setPicture(image.copy());
            av_frame_unref(filtered_);
            return true;
        }
    }
    return false;
}

void PreviewWindow::OkClick() {
    confirmed_ = true;
    close();
}

void PreviewWindow::PlayClick() {
    Frames.setEnabled(!Frames.enabled());
    Play.setCaption(Frames.enabled() ? "Pause" : "Play");
}

} // namespace mpeg2avi
