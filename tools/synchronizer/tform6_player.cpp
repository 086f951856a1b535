// The synchronizer window's "Split Wizard" tab: the built-in player, which shows the video frame by
// frame in its own small window so that the user can stop on a key frame, and the split points marked
// there.

#include "tools/synchronizer/tform6.h"

#include "tools/synchronizer/split_engine.h"
#include "tools/synchronizer/synch_text.h"

#include "platform/core/files.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>

namespace tools::synchronizer {

namespace core = platform::core;
namespace vfw = platform::vfw;

namespace {

constexpr const char* PauseCaption = "Pause";
constexpr const char* ContinueCaption = "Continue";
constexpr vfw::LONG StreamingSpeed = 1000;
constexpr double MicrosecondsPerSecond = 1'000'000.0;
constexpr double HundredthsPerSecond = 100.0;

enum Msg {
    PlayerFileMissingMsg = 102,
    NotKeyFrameMsg = 103,
    NotKeyFrameEndMsg = 104,
    BeyondEndMsg = 105,
};

// Everything the player loop opens, closed in reverse order on every way out.
struct PlayerResources {
    ~PlayerResources() {
        if (streaming)
            vfw::AVIStreamEndStreaming(stream);
        if (drawDib != nullptr) {
            vfw::DrawDibStop(drawDib);
            vfw::DrawDibClose(drawDib);
        }
        if (frames != nullptr)
            vfw::AVIStreamGetFrameClose(frames);
        if (stream != nullptr)
            vfw::AVIStreamRelease(stream);
        vfw::AVIFileExit();
    }
    vfw::PAVISTREAM stream = nullptr;
    vfw::PGETFRAME frames = nullptr;
    vfw::HDRAWDIB drawDib = nullptr;
    bool streaming = false;
};

std::string hundredths(double seconds) {
    const int64_t value = core::roundHalfEven(static_cast<long double>(seconds) * HundredthsPerSecond);
    return CentisecondsToText(
        static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max())));
}

} // namespace

void TForm6::setPauseCaptions(const std::string& caption, bool playerWindowToo) {
    Button6.setCaption(caption);
    if (playerWindowToo && player_)
        player_->Button6.setCaption(caption);
}

void TForm6::Button4Click() {
    // The player's loop would hold a running remux or join inside it until the player ends.
    if (RunningJob != Job::None)
        return;
    Button4.setEnabled(false);
    for (ui::Button* button : {&Button5, &Button6, &Button9, &Set1, &Set2})
        button->setEnabled(true);
    if (core::fileExists(Edit1.text())) {
        try {
            Player();
        } catch (const std::exception&) {
            // The player's errors go to the standard error box; the wizard's buttons come back below.
            ui::showException(std::current_exception());
        }
    } else {
        showError(PlayerFileMissingMsg);
    }
    Button4.setEnabled(true);
    for (ui::Button* button : {&Button5, &Button6, &Button9, &Set1, &Set2})
        button->setEnabled(false);
}

void TForm6::Player() {
    Part1End = 0;
    Part2Begin = 0;
    Paused = false;
    PrevKeyFrameFlag = false;
    NextKeyFrameFlag = false;
    StopFlag = false;
    player_ = std::make_unique<TForm30>(*this);
    player_->show();
    // The player window goes with the loop, whichever way the loop ends.
    struct WindowRelease {
        TForm6& form;
        ~WindowRelease() {
            form.PlayerStream = nullptr;
            form.setPauseCaptions(PauseCaption, true);
            form.player_.reset();
        }
    } windowRelease{*this};

    PlayerResources player;
    vfw::AVIFileInit();
    if (vfw::AVIStreamOpenFromFile(&player.stream, Edit1.text(), vfw::streamtypeVIDEO, 0, vfw::OF_READ) !=
        vfw::AVIERR_OK) {
        player.stream = nullptr;
        throw std::runtime_error("Error no video stream");
    }
    PlayerStream = player.stream;
    const vfw::LONG start = vfw::AVIStreamStart(player.stream);
    FrameCount = start + vfw::AVIStreamLength(player.stream);
    player_->SBAvi.setRange(start, FrameCount);
    player.frames = vfw::AVIStreamGetFrameOpen(player.stream, nullptr);
    if (player.frames == nullptr)
        throw std::runtime_error("Error in Frameopen");
    player.drawDib = vfw::DrawDibOpen();
    vfw::AVISTREAMINFO info;
    if (vfw::AVIStreamInfo(player.stream, &info, sizeof info) != vfw::AVIERR_OK || info.dwScale == 0 ||
        info.dwRate == 0)
        throw std::runtime_error("Error no video stream");
    PlayerFps = static_cast<double>(info.dwRate) / info.dwScale;
    FrameDelay = static_cast<int32_t>(core::roundHalfEven(PlayerFps));
    delay.setCaption(core::intToStr(FrameDelay));
    vfw::DrawDibStart(player.drawDib, static_cast<vfw::DWORD>(MicrosecondsPerSecond / PlayerFps));

    FramePos = 0;
    if (vfw::AVIStreamBeginStreaming(player.stream, start, FrameCount, StreamingSpeed) != vfw::AVIERR_OK)
        throw std::runtime_error("Error in AVIBegin");
    player.streaming = true;
    if (const vfw::BITMAPINFOHEADER* first = vfw::AVIStreamGetFrame(player.frames, 0))
        player_->fitFrame(first->biWidth, std::abs(first->biHeight));

    while (!StopFlag) {
        if (!Paused && !StopFlag && !NextKeyFrameFlag && !PrevKeyFrameFlag)
            ++FramePos;
        ui::processMessages();
        if (!player_)
            break;
        if (NextKeyFrameFlag) {
            NextKeyFrameFlag = false;
            const vfw::LONG next = vfw::AVIStreamNextKeyFrame(player.stream, FramePos);
            if (next >= 0)
                FramePos = next;
        } else if (PrevKeyFrameFlag) {
            PrevKeyFrameFlag = false;
            const vfw::LONG previous = vfw::AVIStreamPrevKeyFrame(player.stream, FramePos);
            if (previous >= 0)
                FramePos = previous;
        }
        if (FramePos >= FrameCount)
            FramePos = FrameCount - 1;
        player_->SBAvi.setPosition(FramePos);
        if (const vfw::BITMAPINFOHEADER* frame = vfw::AVIStreamGetFrame(player.frames, FramePos))
            vfw::DrawDibDraw(player.drawDib, player_->Screen.frames(), 0, 0, -1, -1, frame, nullptr, 0, 0, -1,
                             -1, 0);
        showPlayerPosition(start);
        if (onPlayerFrame)
            onPlayerFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(FrameDelay));
    }
}

void TForm6::showPlayerPosition(int32_t start) {
    if (!player_)
        return;
    player_->Label1.setCaption(core::intToStr(FramePos) + " (" +
                               wizardPartSizeText(FramePos, FrameCount - start, Synch.TotalBytes) + ")");
    player_->AviTime.setCaption(hundredths(FramePos / PlayerFps) + " / " +
                                hundredths(FrameCount / PlayerFps));
}

void TForm6::Button5Click() {
    StopFlag = true;
    setPauseCaptions(PauseCaption, Button5.enabled());
}

void TForm6::Button6Click() {
    // The state decides, not the caption, which the language section may have translated.
    Paused = !Paused;
    setPauseCaptions(Paused ? ContinueCaption : PauseCaption, true);
}

void TForm6::Button7Click() {
    if (FrameDelay < std::numeric_limits<int32_t>::max())
        ++FrameDelay;
    delay.setCaption(core::intToStr(FrameDelay));
}

void TForm6::Button8Click() {
    FrameDelay = std::max(FrameDelay - 1, 0);
    delay.setCaption(core::intToStr(FrameDelay));
}

bool TForm6::playerOnKeyFrame() {
    if (PlayerStream != nullptr && vfw::AVIStreamIsKeyFrame(PlayerStream, FramePos))
        return true;
    Paused = true;
    setPauseCaptions(ContinueCaption, true);
    ui::errorBox(message(NotKeyFrameMsg) + core::intToStr(FramePos) + message(NotKeyFrameEndMsg));
    return false;
}

void TForm6::updateWizardChoice() {
    if (!wizardSplitAllowed(Part1End, Part2Begin)) {
        Wizard.setEnabled(false);
        Wizard.setChecked(false);
        Split.setChecked(false);
    } else {
        Wizard.setEnabled(true);
        Wizard.setChecked(true);
        Split.setChecked(true);
    }
}

void TForm6::Set1Click() {
    if (!playerOnKeyFrame())
        return;
    endp1.setCaption(core::intToStr(FramePos));
    Part1End = FramePos;
    P1Size.setCaption(wizardPartSizeText(FramePos, FrameCount, Synch.TotalBytes));
    updateWizardChoice();
}

void TForm6::Set2Click() {
    if (!playerOnKeyFrame())
        return;
    begp2.setCaption(core::intToStr(FramePos));
    Part2Begin = FramePos;
    P2Size.setCaption(wizardPartSizeText(FrameCount - FramePos, FrameCount, Synch.TotalBytes));
    updateWizardChoice();
}

void TForm6::Button9Click() {
    int64_t target = 0;
    if (timeb.checked()) {
        if (const std::optional<int64_t> frame = gotoTimeFrame(gototime.text(), PlayerFps))
            target = *frame;
        else
            gototime.setText("00:00:00");
    } else {
        target = core::strToInt(gotoframe.text());
    }
    if (target > FrameCount) {
        showError(BeyondEndMsg);
        return;
    }
    FramePos = static_cast<int32_t>(std::max<int64_t>(target, 0));
}

void TForm6::timebClick() {
    gototime.setEnabled(true);
    gotoframe.setEnabled(false);
}

void TForm6::framebClick() {
    gotoframe.setEnabled(true);
    gototime.setEnabled(false);
}

} // namespace tools::synchronizer
