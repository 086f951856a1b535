#pragma once

// The small player window of the split wizard ("AVI Player"): the frames of the synchronizer's
// built-in player, its buttons and its position bar. Its buttons only set the flags and the position
// that the player loop of the synchronizer window reads after every frame.

#include "tools/synchronizer/frame_view.h"

#include "platform/ui/buttons.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/ranges.h"

namespace tools::synchronizer {

class TForm6;

class TForm30 : public ui::Form {
public:
    explicit TForm30(TForm6& owner);
    ~TForm30() override;

    ui::Button Button5{*this, "Stop"};
    ui::Button Button6{*this, "Pause"};
    ui::Button Button1{*this};
    ui::Button Button2{*this, "KF >>"};
    ui::Button Button3{*this, "Go to 1/2"};
    ui::ScrollBar SBAvi{*this};
    ui::Label Label2{*this, "frame :"};
    ui::Label Label3{*this, "Time :"};
    ui::Label Label1{*this};
    ui::Label AviTime{*this};
    // The frames are drawn here, at x 0 and y 70 of the window.
    FrameView Screen{*this};

    // Sizes the window to a frame of width × height (the buttons and labels take 100 more rows).
    void fitFrame(int width, int height);

    void Button5Click();
    void Button6Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void SBAviChange();
    void FormClose(ui::CloseAction& action);

private:
    TForm6& owner_;
};

// The player window while the built-in player runs.
extern TForm30* Form30;

} // namespace tools::synchronizer
