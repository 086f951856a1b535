#pragma once

// The VobSub index adjuster window. Batch use (the rip): set BatchMode, set Edit1 to the ".idx" path
// (which loads it), set f1 to the first part's AVI (which measures it), ClipSeconds when a clip follows
// the movie in that part, show(), Button5Click(); the window closes itself when the cut ends, shows no
// box, and leaves CutWritten and BatchProblem to read.

#include "tools/vobsub_adjuster/idx_index.h"

#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/lists.h"
#include "platform/ui/ranges.h"
#include "platform/ui/timer.h"

#include <memory>

namespace tools::vobsub_adjuster {

namespace ui = platform::ui;

struct TvsubPreview;

class TVSUB : public ui::Form {
public:
    TVSUB();
    ~TVSUB() override;

    ui::Label Label1{*this, "Choose index :"};
    ui::Edit Edit1{*this};
    ui::Button Button1{*this, "../.."};

    ui::GroupBox GroupBox1{*this, "Available languages "};
    ui::ListBox lng{GroupBox1};
    ui::Label deflng{GroupBox1, "-"};
    ui::Label stime{GroupBox1};
    ui::Button Button8{GroupBox1, "Play AVI"};
    ui::ScrollBar ScrollBar1{GroupBox1};
    ui::Button Button9{GroupBox1, "DVobSub"};
    ui::Button Button10{GroupBox1, "SET new"};

    ui::GroupBox GroupBox2{*this, "Adjust"};
    ui::Edit Sign{GroupBox2, "+"};
    ui::Edit Hour{GroupBox2, "0"};
    ui::Edit Min{GroupBox2, "0"};
    ui::Edit Sec{GroupBox2, "0"};
    ui::Edit mSec{GroupBox2, "0"};
    ui::RadioButton newstarttime{GroupBox2, "this is a new start time"};
    ui::RadioButton itsdelay{GroupBox2, "this is a delay"};
    ui::Button Button2{GroupBox2, "SET"};
    ui::Button Button6{GroupBox2, "Copy"};
    ui::Button Button7{GroupBox2, "Reset"};

    ui::GroupBox GroupBox3{*this, "Split"};
    ui::Edit f1{GroupBox3};
    ui::Button Button3{GroupBox3, "../.."};
    ui::Edit f2{GroupBox3};
    ui::Button Button4{GroupBox3, "../.."};
    ui::Label t1{GroupBox3, "-"};
    ui::RadioButton overlap{GroupBox3, "Overlapping parts"};
    ui::RadioButton pcut{GroupBox3, "Perfect cut"};
    ui::Button Button5{GroupBox3, "CUT"};

    ui::GroupBox GroupBox4{*this, "Change fps"};
    ui::ComboBox fps1{GroupBox4};
    ui::ComboBox fps2{GroupBox4};
    ui::Button changefps{GroupBox4, "Change"};

    ui::Timer Timer1{500};

    // Set by the rip before the cut: the window then closes itself instead of reporting, and what it
    // would have shown in an error box goes into BatchProblem (the first one only).
    bool BatchMode = false;
    std::string BatchProblem;
    // The last cut wrote the second part's index. A cut with no subtitle after it in any language
    // writes none (no problem in batch mode: that part simply has no subtitles).
    bool CutWritten = false;
    // Seconds at the end of the first part that are not the movie's own (a clip appended after its last
    // frame): the second part starts that much before the first part's end.
    double ClipSeconds = 0;
    // A preview graph plays the movie.
    bool Previewing = false;

    void Edit1Change();
    void Organize();
    void lngClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    // Preview (tvsub_preview.cpp).
    bool DSPlayerPlayFile(const std::string& movie);
    void CloseDSPlayer();
    void Timer1Timer();
    void ScrollBar1Scroll();
    // Stops a running preview, as every change of the index does first.
    void stopPreview();
    TvsubPreview* preview() const { return preview_.get(); }
    void changefpsClick();
    void f1Change();
    void overlapClick();
    void pcutClick();
    void newstarttimeClick();
    void itsdelayClick();
    void savefile();
    // The first video stream's length in seconds (its frame rate is kept for the cut); 0 without one.
    double GetVideoTime(const std::string& path);

    const VobSubIndex& index() const { return index_; }
    int currentLanguage() const { return current_; }

private:
    void layOut();
    void layOutGroups();
    void connectHandlers();
    void connectKeyFilters();
    void setEditButtons(bool enabled);
    bool requireLanguage();
    // An error box, or in batch mode the batch problem.
    void problem(const std::string& text);
    double overlapCutTime(bool& ok);
    void endCut();
    void FormCreate();
    void FormClose();

    VobSubIndex index_;
    int current_ = -1;
    double part1Length_ = 0;
    double frameRate_ = 0;
    bool cutting_ = false;
    std::unique_ptr<TvsubPreview> preview_;
};

// The latest index adjuster window.
extern TVSUB* VSUB;

} // namespace tools::vobsub_adjuster
