#pragma once

// The "AC3 merge" window: shows which AC3 piece is being joined and how far, while the rip joins the
// demultiplexer's pieces into one stream.

#include "kes/ac3_join.h"

#include "platform/ui/edit.h"
#include "platform/ui/form.h"
#include "platform/ui/ranges.h"

namespace kes {

namespace ui = platform::ui;

class TMerging : public ui::Form, public Ac3JoinSink {
public:
    TMerging();
    ~TMerging() override;

    ui::Label Label1{*this, "Merging :"};
    ui::Label ac3name{*this};
    ui::ProgressBar pgs{*this};

    // Ac3JoinSink: the piece's name in ac3name, pgs from 0 to its size, advanced by every read.
    void pieceStarted(const std::string& name, int64_t size) override;
    void blockRead(int64_t bytes) override;
    void processMessages() override;

private:
    int64_t scale_ = 1; // bytes per step of pgs, so that a piece of any size fits its int range
};

// The latest merge window (null when none is open).
extern TMerging* Merging;

} // namespace kes
