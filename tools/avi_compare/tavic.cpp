#include "tools/avi_compare/tavic.h"

#include "platform/ui/application.h"
#include "platform/ui/file_dialogs.h"

#include <string>

namespace tools::avi_compare {

Tavic* avic = nullptr;

namespace {

constexpr const char* LoadingText = "Loading video streams ...";
constexpr const char* AviFilter = "Avi Files|*.avi";

} // namespace

Tavic::Tavic() {
    setCaption("Avi Compare");
    layOut();
    connectHandlers();
    avic = this;
    create();
}

Tavic::~Tavic() {
    closing_ = true;
    if (avic == this)
        avic = nullptr;
}

void Tavic::layOut() {
    setClientSize(420, 230);
    setBorderStyle(ui::BorderStyle::Single);
    GroupBox1.setBounds(8, 8, 404, 52);
    Edit1.setBounds(8, 20, 320, 22);
    Button1.setBounds(336, 18, 60, 26);
    GroupBox2.setBounds(8, 66, 404, 52);
    Edit2.setBounds(8, 20, 320, 22);
    Button2.setBounds(336, 18, 60, 26);
    Label1.setBounds(8, 128, 120, 16);
    Label2.setBounds(132, 128, 100, 16);
    Label3.setBounds(8, 150, 404, 16);
    Label4.setBounds(8, 170, 404, 16);
    Button3.setBounds(8, 196, 90, 26);
    Button4.setBounds(322, 196, 90, 26);
}

void Tavic::connectHandlers() {
    onClose = [this](ui::CloseAction&) { closing_ = true; };
    Button1.onClick = [this] { Button1Click(); };
    Button2.onClick = [this] { Button2Click(); };
    Button3.onClick = [this] { Button3Click(); };
    Button4.onClick = [this] { Button4Click(); };
}

void Tavic::cmpr() {
    if (running_)
        return;
    running_ = true;
    closing_ = false;
    Label3.setCaption(LoadingText);
    Label4.setCaption("");
    Label2.setCaption("");
    ui::processMessages();
    const CompareStatus status = findPartStart(Edit1.text(), Edit2.text(), FoundFrame, *this);
    Found = status == CompareStatus::Found;
    if (status == CompareStatus::OpenError)
        Label3.setCaption(std::string(LoadingText) + " ERROR");
    else
        Label4.setCaption(Found ? "FOUND !" : "NOT FOUND !");
    running_ = false;
}

void Tavic::streamsOpened() {
    Label3.setCaption(std::string(LoadingText) + " OK");
}

void Tavic::trying(int32_t frame) {
    Label2.setCaption(std::to_string(frame));
}

void Tavic::processMessages() {
    ui::processMessages();
}

void Tavic::Button1Click() {
    ui::OpenDialog dialog;
    dialog.filter = AviFilter;
    if (dialog.execute(this))
        Edit1.setText(dialog.fileName);
}

void Tavic::Button2Click() {
    ui::OpenDialog dialog;
    dialog.filter = AviFilter;
    if (dialog.execute(this))
        Edit2.setText(dialog.fileName);
}

void Tavic::Button3Click() {
    cmpr();
}

void Tavic::Button4Click() {
    close();
}

} // namespace tools::avi_compare
