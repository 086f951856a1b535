#include "kes/merging.h"

#include "platform/ui/application.h"

#include <algorithm>
#include <climits>

namespace kes {

TMerging* Merging = nullptr;

namespace {
constexpr int ClientWidth = 320;
constexpr int ClientHeight = 80;
constexpr int Margin = 12;
} // namespace

TMerging::TMerging() {
    Merging = this;
    setCaption("AC3 merge");
    setBorderStyle(ui::BorderStyle::ToolWindow);
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(ClientWidth, ClientHeight);
    Label1.setBounds(Margin, Margin, 70, 16);
    ac3name.setBounds(90, Margin, ClientWidth - 90 - Margin, 16);
    pgs.setBounds(Margin, 44, ClientWidth - 2 * Margin, 18);
    create();
}

TMerging::~TMerging() {
    if (Merging == this)
        Merging = nullptr;
}

void TMerging::pieceStarted(const std::string& name, int64_t size) {
    ac3name.setCaption(name);
    scale_ = std::max<int64_t>(1, size / INT_MAX + 1);
    pgs.setMin(0);
    pgs.setPosition(0);
    pgs.setMax(static_cast<int>(std::max<int64_t>(0, size) / scale_));
}

void TMerging::blockRead(int64_t bytes) {
    pgs.stepBy(static_cast<int>(bytes / scale_));
}

void TMerging::processMessages() {
    ui::processMessages();
}

} // namespace kes
