#include "tools/synchronizer/preview_player.h"

#include <algorithm>
#include <cmath>

namespace tools::synchronizer {

namespace vfw = platform::vfw;

namespace {

constexpr int TickMs = 10;
constexpr int64_t UnitsPerMs = PreviewUnitsPerSecond / 1000;
constexpr int MinimumWindowSide = 16;

// The time in 100-ns units at which sample `sample` of a stream of rate / scale samples a second
// begins, or nothing when it does not fit.
std::optional<int64_t> sampleTime(int64_t sample, uint32_t rate, uint32_t scale) {
    if (rate == 0)
        return std::nullopt;
    const long double units = static_cast<long double>(sample) * scale * PreviewUnitsPerSecond / rate;
    if (!std::isfinite(units) || units < 0 || units > static_cast<long double>(INT64_MAX / 2))
        return std::nullopt;
    return static_cast<int64_t>(std::llround(units));
}

// The end of the file's first audio stream on the timeline, 0 when it has none.
int64_t audioEnd(const std::string& path) {
    vfw::PAVISTREAM audio = nullptr;
    if (vfw::AVIStreamOpenFromFile(&audio, path, vfw::streamtypeAUDIO, 0, vfw::OF_READ) != vfw::AVIERR_OK)
        return 0;
    vfw::AVISTREAMINFO info;
    int64_t end = 0;
    if (vfw::AVIStreamInfo(audio, &info, sizeof info) == vfw::AVIERR_OK)
        end = sampleTime(static_cast<int64_t>(info.dwStart) + info.dwLength, info.dwRate,
                         std::max<uint32_t>(info.dwScale, 1))
                  .value_or(0);
    vfw::AVIStreamRelease(audio);
    return end;
}

} // namespace

PreviewPlayer::PreviewPlayer() : window_(std::make_unique<FrameWidget>()) {
    window_->setScaled(true);
    ticker_.setInterval(TickMs);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
}

PreviewPlayer::~PreviewPlayer() {
    close();
}

void PreviewPlayer::close() {
    ticker_.stop();
    running_ = false;
    if (drawDib_ != nullptr) {
        vfw::DrawDibStop(drawDib_);
        vfw::DrawDibClose(drawDib_);
        drawDib_ = nullptr;
    }
    if (frames_ != nullptr) {
        vfw::AVIStreamGetFrameClose(frames_);
        frames_ = nullptr;
    }
    if (video_ != nullptr) {
        vfw::AVIStreamRelease(video_);
        video_ = nullptr;
    }
    if (libraryStarted_) {
        vfw::AVIFileExit();
        libraryStarted_ = false;
    }
}

bool PreviewPlayer::renderFile(const std::string& path) {
    close();
    vfw::AVIFileInit();
    libraryStarted_ = true;
    if (vfw::AVIStreamOpenFromFile(&video_, path, vfw::streamtypeVIDEO, 0, vfw::OF_READ) != vfw::AVIERR_OK) {
        video_ = nullptr;
        return false;
    }
    vfw::AVISTREAMINFO info;
    if (vfw::AVIStreamInfo(video_, &info, sizeof info) != vfw::AVIERR_OK || info.dwRate == 0 ||
        info.dwScale == 0) {
        close();
        return false;
    }
    frames_ = vfw::AVIStreamGetFrameOpen(video_, nullptr);
    if (frames_ == nullptr) {
        close();
        return false;
    }
    drawDib_ = vfw::DrawDibOpen();
    rate_ = info.dwRate;
    scale_ = info.dwScale;
    firstFrame_ = vfw::AVIStreamStart(video_);
    endFrame_ = vfw::AVIStreamEnd(video_);
    duration_ = std::max(sampleTime(endFrame_, rate_, scale_).value_or(0), audioEnd(path));
    base_ = 0;
    stop_ = duration_;
    shownFrame_ = -1;
    window_->clearPicture();
    const vfw::BITMAPINFOHEADER* first = vfw::AVIStreamGetFrame(frames_, firstFrame_);
    const int width = first != nullptr ? std::max<int>(first->biWidth, MinimumWindowSide) : MinimumWindowSide;
    const int height =
        first != nullptr ? std::max<int>(std::abs(first->biHeight), MinimumWindowSide) : MinimumWindowSide;
    window_->resize(width, height);
    showFrameAt(0);
    return true;
}

void PreviewPlayer::run() {
    if (!rendered())
        return;
    base_ = currentPosition();
    clock_.start();
    running_ = true;
    window_->show();
    ticker_.start();
}

void PreviewPlayer::stop() {
    base_ = currentPosition();
    running_ = false;
    ticker_.stop();
}

int64_t PreviewPlayer::currentPosition() const {
    if (!running_)
        return base_;
    return std::min<int64_t>(base_ + clock_.elapsed() * UnitsPerMs, std::max(stop_, base_));
}

void PreviewPlayer::setPositions(std::optional<int64_t> current, std::optional<int64_t> stop) {
    if (stop)
        stop_ = std::clamp<int64_t>(*stop, 0, duration_);
    if (current) {
        base_ = std::clamp<int64_t>(*current, 0, duration_);
        clock_.start();
        showFrameAt(base_);
    }
}

void PreviewPlayer::tick() {
    showFrameAt(currentPosition());
}

void PreviewPlayer::showFrameAt(int64_t position) {
    if (!rendered())
        return;
    const long double exact = static_cast<long double>(position) * rate_ /
                              (static_cast<long double>(scale_) * PreviewUnitsPerSecond);
    int64_t frame = static_cast<int64_t>(std::floor(exact));
    if (frame >= endFrame_)
        frame = endFrame_ - 1;
    if (frame < firstFrame_) {
        // The video begins later on the timeline (a start field): black until then.
        if (shownFrame_ != -1) {
            shownFrame_ = -1;
            window_->clearPicture();
        }
        return;
    }
    if (frame == shownFrame_)
        return;
    const vfw::BITMAPINFOHEADER* dib = vfw::AVIStreamGetFrame(frames_, static_cast<vfw::LONG>(frame));
    if (dib == nullptr)
        return;
    vfw::DrawDibDraw(drawDib_, window_.get(), 0, 0, -1, -1, dib, nullptr, 0, 0, -1, -1, 0);
    shownFrame_ = static_cast<int32_t>(frame);
}

void PreviewPlayer::setCaption(const std::string& caption) {
    window_->setWindowTitle(QString::fromStdString(caption));
}

void PreviewPlayer::setWindowPosition(int left, int top) {
    window_->move(left, top);
}

int PreviewPlayer::windowLeft() const {
    return window_->x();
}

int PreviewPlayer::windowTop() const {
    return window_->y();
}

int PreviewPlayer::windowWidth() const {
    return window_->width();
}

int PreviewPlayer::windowHeight() const {
    return window_->height();
}

void PreviewPlayer::setWindowSize(int width, int height) {
    window_->resize(std::max(width, MinimumWindowSide), std::max(height, MinimumWindowSide));
}

bool PreviewPlayer::windowVisible() const {
    return window_->isVisible();
}

void PreviewPlayer::bringToFront() {
    window_->raise();
    window_->activateWindow();
}

void PreviewPlayer::setFullScreen(bool on) {
    if (on)
        window_->showFullScreen();
    else if (window_->isFullScreen())
        window_->showNormal();
}

bool PreviewPlayer::fullScreen() const {
    return window_->isFullScreen();
}

void PreviewPlayer::setMessageDrain(std::function<void(char& key)> drain) {
    window_->onKey = std::move(drain);
    if (window_->onKey)
        window_->setFocus();
}

} // namespace tools::synchronizer
