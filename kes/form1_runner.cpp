// Outside programs, the shutdown, the VOB list and the guard of jobs that pump the window.
#include "kes/form1.h"

#include "kes/form1_unit.h"
#include "kes/vob_list.h"

#include <memory>

#include "platform/core/files.h"
#include "platform/core/process.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/console_window.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/held_input.h"

namespace kes {

namespace core = platform::core;

namespace {
constexpr int MsgFirstVobMissing = 20;

// The program's own window, as a console would be: opened once it has started, captioned with its
// command line; closing it ends the program.
class ConsoleOfRun : public RunConsole {
public:
    explicit ConsoleOfRun(std::string caption) : caption_(std::move(caption)) {}
    void begin() override {
        window_ = std::make_unique<ui::ConsoleWindow>(caption_);
        window_->show();
    }
    void output(std::string_view bytes) override { window_->append(bytes); }
    bool endAsked() const override { return window_ && window_->closeRequested(); }
    void keepAlive() override { ui::ConsoleWindow::keepAlive(); }
    // The user's input held during the run goes to the window's queue with it.
    ~ConsoleOfRun() override { ui::releaseHeldInput(); }

private:
    std::string caption_;
    std::unique_ptr<ui::ConsoleWindow> window_;
};

} // namespace

bool TForm1::RunExtProg() {
    return runExternal(true);
}

bool TForm1::runExternal(bool reportFailedStart) {
    JobGuard job(*this);
    ConsoleOfRun console(ExtCommand);
    lastRun_ = runAndWait(
        ExtCommand, ExternDir, StartDir, [] { ui::processMessages(); }, &console);
    // An unattended list takes the box into its log.
    if (!lastRun_.started && reportFailedStart)
        ui::errorBox(cannotStartText(ExtCommand));
    return lastRun_.started;
}

bool TForm1::ShutdownWindows() {
    return core::requestShutdown();
}

bool TForm1::MakeList(const std::string& firstVob) {
    // An unattended list takes these boxes into its log.
    const VobRun run = findVobRun(firstVob);
    if (run.firstMissing) {
        RipAborted = true;
        ui::errorBox(MessageTable[MsgFirstVobMissing]);
        return true; // the rip's own checks stop a rip without its first VOB
    }
    for (const auto& busy : run.inUse)
        ui::showMessage(busy + " already in use !");
    if (run.truncated) {
        ui::warningBox("More than " + core::intToStr(VobTableSize) + " VOB files: the list stops at " +
                       run.files.back() + " !");
    }

    VobCount = static_cast<int>(run.files.size());
    for (int i = 0; i < VobTableSize; ++i)
        VobTable[static_cast<size_t>(i)] = i < VobCount ? run.files[static_cast<size_t>(i)] : std::string();

    // The list goes beside the VOB named in the first-VOB box; a blank in that name asks for short paths.
    const std::string vobfileText = Vobfile.text();
    const std::string listPath = vobListPath(vobfileText);
    const bool shortForm = vobfileText.find(' ') != std::string::npos;
    if (!core::writeFileAtomic(listPath, vobListBytes(run.files, shortForm))) {
        RipAborted = true;
        ui::errorBox("Can't write " + listPath + " !");
        return false;
    }
    return true;
}

// ---- Jobs ----

TForm1::JobGuard::JobGuard(TForm1& form) : form_(form) {
    if (form_.jobDepth_++ > 0)
        return;
    form_.startersEnabled_.clear();
    for (ui::Control* starter : form_.jobStarters()) {
        form_.startersEnabled_.push_back(starter->enabled());
        starter->setEnabled(false);
    }
}

TForm1::JobGuard::~JobGuard() {
    if (--form_.jobDepth_ == 0)
        form_.jobEnded();
}

void TForm1::jobEnded() {
    const auto starters = jobStarters();
    for (size_t i = 0; i < starters.size() && i < startersEnabled_.size(); ++i)
        starters[i]->setEnabled(startersEnabled_[i]);
    startersEnabled_.clear();
    // A profile loaded during the job (a multi-rip entry) decides the starters that follow its
    // options, not the states from before the job.
    RipAudioClick();
    twostreamsClick();
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

std::vector<ui::Control*> TForm1::jobStarters() {
    // Rips, previews, plays and the stream counts that a new first VOB, a new audio method or a
    // profile load would start.
    return {&Launch,  &LaunchMulti, &PreviewVid, &directadjust, &PreAud, &Audio2Play, &arip,     &Vobfile,
            &OpenVOB, &memo1,       &memo2,      &Reinit,       &wizard, &AudExtr,    &AddVexlor};
}

} // namespace kes
