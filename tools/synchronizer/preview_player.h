#pragma once

// The synchronizer's preview: plays the video of an AVI file in a window of its own, at the frame rate
// and start that the file's stream header holds when playing begins, so that a header patched by a
// test shows at once. Positions are in 100-ns units from the start of the file's timeline, as a filter
// graph's seeking gives them; the duration covers the video and the audio stream.
//
// The video window can be moved, sized, shown full screen and closed by the user; keys typed into it
// go to the message drain while one is set.

#include "tools/synchronizer/frame_view.h"

#include "platform/vfw/vfw.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tools::synchronizer {

// 100-ns units per second.
inline constexpr int64_t PreviewUnitsPerSecond = 10'000'000;

class PreviewPlayer {
public:
    PreviewPlayer();
    ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // Opens the file's first video stream for showing; false, with nothing to play, when the file has
    // no video stream whose frames can be decoded.
    bool renderFile(const std::string& path);
    bool rendered() const { return frames_ != nullptr; }

    // Plays from the current position until the stop position, where the picture holds.
    void run();
    // Holds the current position.
    void stop();
    bool running() const { return running_; }

    int64_t duration() const { return duration_; }
    int64_t currentPosition() const;
    int64_t stopPosition() const { return stop_; }
    // Absolute positions, each kept within 0 .. duration; a missing one stays as it is.
    void setPositions(std::optional<int64_t> current, std::optional<int64_t> stop);

    // The video window.
    FrameWidget& window() { return *window_; }
    void setCaption(const std::string& caption);
    void setWindowPosition(int left, int top);
    int windowLeft() const;
    int windowTop() const;
    int windowWidth() const;
    int windowHeight() const;
    void setWindowSize(int width, int height);
    bool windowVisible() const;
    void bringToFront();
    void setFullScreen(bool on);
    bool fullScreen() const;
    // Keys typed into the video window go to drain; an empty function removes it.
    void setMessageDrain(std::function<void(char& key)> drain);

    // The frame shown last (-1: none yet or before the video's start).
    int32_t shownFrame() const { return shownFrame_; }

private:
    void close();
    void tick();
    void showFrameAt(int64_t position);

    std::unique_ptr<FrameWidget> window_;
    QTimer ticker_;
    QElapsedTimer clock_;
    platform::vfw::PAVISTREAM video_ = nullptr;
    platform::vfw::PGETFRAME frames_ = nullptr;
    platform::vfw::HDRAWDIB drawDib_ = nullptr;
    bool libraryStarted_ = false;
    int32_t firstFrame_ = 0;
    int32_t endFrame_ = 0;
    uint32_t rate_ = 0;
    uint32_t scale_ = 1;
    int64_t duration_ = 0;
    int64_t base_ = 0; // the position when playing last began or was set
    int64_t stop_ = 0;
    bool running_ = false;
    int32_t shownFrame_ = -1;
};

} // namespace tools::synchronizer
