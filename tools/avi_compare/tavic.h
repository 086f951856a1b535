#pragma once

// The AVI part comparer window "Avi Compare". Callers fill Edit1 (part 1) and Edit2 (part 2), run
// cmpr() and read FoundFrame (and Found).

#include "tools/avi_compare/part_compare.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"

namespace tools::avi_compare {

namespace ui = platform::ui;

class Tavic : public ui::Form, private CompareSink {
public:
    Tavic();
    ~Tavic() override;

    ui::GroupBox GroupBox1{*this, "Part 1"};
    ui::Edit Edit1{GroupBox1};
    ui::Button Button1{GroupBox1, "Open"};
    ui::GroupBox GroupBox2{*this, "Part 2"};
    ui::Edit Edit2{GroupBox2};
    ui::Button Button2{GroupBox2, "Open"};
    ui::Button Button3{*this, "Find"};
    ui::Button Button4{*this, "Exit"};
    ui::Label Label1{*this, "Processing Frame :"};
    ui::Label Label2{*this};
    ui::Label Label3{*this};
    ui::Label Label4{*this};

    // The frame of part 1 reached by the last search.
    int32_t FoundFrame = 0;
    // Whether the last search found part 2's first frame.
    bool Found = false;

    void cmpr();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

private:
    void layOut();
    void connectHandlers();
    // CompareSink
    void streamsOpened() override;
    void trying(int32_t frame) override;
    void processMessages() override;
    bool stopRequested() override { return closing_; }

    bool running_ = false;
    bool closing_ = false;
};

// The latest comparer window.
extern Tavic* avic;

} // namespace tools::avi_compare
