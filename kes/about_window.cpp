#include "kes/about_window.h"

#include "platform/core/paths.h"

#include <QDesktopServices>

namespace kes {

namespace core = platform::core;

TKESabout* KESabout = nullptr;

namespace {

constexpr const char* ReadmeName = "README.md";
constexpr const char* Version = "Kestrova V1.24";
// What the links show. The program has no site of its own: every link opens its README, which says
// where to ask and whom to contact.
constexpr const char* HomePageText = "README.md";
constexpr const char* ContactText = "README.md";

constexpr int ClientWidth = 340;
constexpr int ClientHeight = 190;
constexpr int LabelLeft = 16;
constexpr int LinkLeft = 110;
constexpr int LinkWidth = 220;
constexpr int RowHeight = 20;

void styleAsLink(ui::Label& label) {
    ui::Font font = label.font();
    font.style.underline = true;
    label.setFont(font);
    label.setFontColor(ui::Colors::Blue);
    label.setCursor(ui::Cursor::Hand);
}

} // namespace

std::function<void(const QUrl&)> TKESabout::openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

TKESabout::TKESabout(const std::string& programDir) : readmePath_(core::joinPath(programDir, ReadmeName)) {
    KESabout = this;
    setCaption("About");
    setBorderStyle(ui::BorderStyle::ToolWindow);
    setPosition(ui::FormPosition::ScreenCenter);
    setClientSize(ClientWidth, ClientHeight);

    Label1.setBounds(LabelLeft, 12, ClientWidth - 2 * LabelLeft, 28);
    ui::Font title = Label1.font();
    title.size = 14;
    title.style.bold = true;
    Label1.setFont(title);
    Label1.setCaption(Version);
    Label2.setBounds(LabelLeft, 56, 90, RowHeight);
    Label4.setBounds(LinkLeft, 56, LinkWidth, RowHeight);
    Label4.setCaption(HomePageText);
    Label3.setBounds(LabelLeft, 84, 90, RowHeight);
    Label5.setBounds(LinkLeft, 84, LinkWidth, RowHeight);
    Label5.setCaption(ContactText);
    Label6.setBounds(LinkLeft, 112, LinkWidth, RowHeight);
    Button1.setBounds((ClientWidth - 90) / 2, 148, 90, 28);
    Button1.setDefault(true);
    for (ui::Label* link : {&Label1, &Label4, &Label5, &Label6})
        styleAsLink(*link);

    // The version label and the home-page link open the same target.
    Label1.onClick = [this] { Label1Click(); };
    Label4.onClick = [this] { Label1Click(); };
    Label5.onClick = [this] { Label5Click(); };
    Label6.onClick = [this] { Label6Click(); };
    Button1.onClick = [this] { Button1Click(); };
    onClose = [](ui::CloseAction& action) { action = ui::CloseAction::Free; };
    create();
}

TKESabout::~TKESabout() {
    if (KESabout == this)
        KESabout = nullptr;
}

QUrl TKESabout::readme() const {
    return QUrl::fromLocalFile(QString::fromStdString(readmePath_));
}

QUrl TKESabout::homePage() const {
    return readme();
}
QUrl TKESabout::contact() const {
    return readme();
}
QUrl TKESabout::forum() const {
    return readme();
}

void TKESabout::Label1Click() {
    openUrl(homePage());
}
void TKESabout::Label5Click() {
    openUrl(contact());
}
void TKESabout::Label6Click() {
    openUrl(forum());
}
void TKESabout::Button1Click() {
    close();
}

} // namespace kes
