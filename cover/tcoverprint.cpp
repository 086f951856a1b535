#include "cover/tcoverprint.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/registry.h"
#include "platform/core/text.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/fit_to_text.h"

#include <QDesktopServices>
#include <QDropEvent>
#include <QMainWindow>
#include <QMimeData>
#include <QUrl>

#include <utility>
#include <vector>

namespace cover {

namespace core = platform::core;

TCoverPrint* CoverPrint = nullptr;

namespace {

constexpr int ClientWidth = 664;
constexpr int ClientHeight = 480;
constexpr int SpinePreviewWidth = 33;
constexpr int ScratchSize = 400;
constexpr int InitialFontSize = 15;
constexpr int RightColumnStart = 430;
constexpr const char* WindowCaption = "Cover printer - [send me your background pictures creations :-) ]";
constexpr const char* ReadMeName = "README.md";

// Takes the first dropped local file to the window.
class DropFilter : public QObject {
public:
    explicit DropFilter(TCoverPrint& form) : form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::DragEnter) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->hasUrls())
                drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QList<QUrl> urls = drop->mimeData()->urls();
            if (!urls.isEmpty() && urls.front().isLocalFile()) {
                const std::string path = urls.front().toLocalFile().toStdString();
                ui::runHandler([&] { form_.WmDropFiles(path); });
            }
            drop->acceptProposedAction();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TCoverPrint& form_;
};

} // namespace

TCoverPrint::TCoverPrint(MainWindowLink link) : link_(std::move(link)) {
    CoverPrint = this;
    CaptionTable[ShortLayoutMessage] = ShortLayoutText;
    setCaption(WindowCaption);
    setClientSize(ClientWidth, ClientHeight);
    setBorderStyle(ui::BorderStyle::Single);
    setBorderIcons(true, true, false);
    setPosition(ui::FormPosition::ScreenCenter);
    cov.setBounds(0, 0, ClientWidth, ClientHeight - 36);
    Button7.setBounds(ClientWidth - 90, ClientHeight - 32, 80, 26);
    layOutFront();
    layOutBackText();
    layOutBack();
    layOutPrint();
    setDefaults();
    connectHandlers();
    onCreate = [this] { FormCreate(); };
    onClose = [this](ui::CloseAction& action) { FormClose(action); };
    create();
    takeFromMainWindow();
}

TCoverPrint::~TCoverPrint() {
    if (window() && dropFilter_)
        window()->removeEventFilter(dropFilter_.get());
    if (!mainRestored_ && link_.restore)
        link_.restore();
    if (CoverPrint == this)
        CoverPrint = nullptr;
}

void TCoverPrint::setDefaults() {
    center.setCheckedSilent(true);
    MM.setCheckedSilent(true);
    usebackpic.setCheckedSilent(true);
    CheckBox1.setCheckedSilent(true);
    cnone.setCheckedSilent(true);
    MFont.setEnabled(false);
    MSet.setEnabled(false);
    MPos.setEnabled(false);
    Justify.setCheckedSilent(false);
    Label5.setEnabled(false);
    tb.setRange(0, BackPreviewWidth);
    tb.setPositionSilent(RightColumnStart);
    tb.setEnabled(false);
    fromfront.setCheckedSilent(true);
    printfront.setCheckedSilent(true);
    printback.setCheckedSilent(true);
    drawlines.setCheckedSilent(true);
    LAligndown.setCheckedSilent(true);
    LDownup.setCheckedSilent(true);
    RAlignup.setCheckedSilent(true);
    RUpDown.setCheckedSilent(true);
    tranche.hide();
}

void TCoverPrint::layOutFront() {
    picis.setBounds(8, 4, 416, 420);
    Image1.setBounds(8, 16, FrontPreviewSize, FrontPreviewSize);
    GroupBox3.setBounds(432, 4, 216, 50);
    Button1.setBounds(8, 18, 80, 24);
    Label3.setBounds(432, 62, 100, 16);
    Label1.setBounds(440, 80, 100, 16);
    Label2.setBounds(440, 96, 100, 16);
    GroupBox1.setBounds(432, 118, 216, 56);
    Button3.setBounds(8, 20, 40, 24);
    Button4.setBounds(52, 20, 40, 24);
    Button6.setBounds(100, 20, 100, 24);
    center.setBounds(432, 182, 200, 20);
    GroupBox2.setBounds(432, 206, 120, 100);
    ui::RadioButton* radios[] = {&UL, &UM, &UR, &ML, &MM, &MR, &DL, &DM, &DR};
    for (int i = 0; i < 9; ++i)
        radios[i]->setBounds(12 + (i % 3) * 36, 20 + (i / 3) * 24, 24, 20);
    Label7.setBounds(432, 400, 200, 16);
}

void TCoverPrint::layOutBackText() {
    struct Row {
        ui::Label* label;
        ui::Edit* edit;
    };
    const Row rows[] = {{&ltitle, &moviename}, {&llength, &movielength}, {&lkind, &genre},
                        {&ldesc, &ripdesc},    {&lsub, &subt},           {&llng, &lng},
                        {&lcomm, &sum1}};
    int y = 12;
    for (const Row& row : rows) {
        row.label->setBounds(12, y + 3, 130, 16);
        row.edit->setBounds(150, y, 490, 22);
        y += 30;
    }
    for (ui::Edit* edit : {&sum2, &sum3, &sum4}) {
        edit->setBounds(150, y - 4, 490, 22);
        y += 26;
    }
    Button9.setBounds(150, y + 10, 90, 26);
    Button10.setBounds(250, y + 10, 90, 26);
}

void TCoverPrint::layOutBack() {
    Image321.setBounds(4, 4, SpinePreviewWidth, BackPreviewHeight);
    backpanel.setBounds(40, 4, BackPreviewWidth, BackPreviewHeight);
    backpanel.setBevel(ui::Bevel::None);
    backcov.setBounds(0, 0, BackPreviewWidth, BackPreviewHeight);
    tranche.setBounds(0, 0, ScratchSize, ScratchSize);
    Label9.setBounds(40, 398, 60, 16);
    Label10.setBounds(110, 398, 60, 16);
    cpos.setBounds(180, 398, 200, 16);
    const int x = 502;
    Label6.setBounds(x, 4, 150, 16);
    usebackpic.setBounds(x, 20, 156, 20);
    backpic.setBounds(x, 42, 116, 22);
    Button5.setBounds(x + 120, 42, 34, 22);
    CheckBox1.setBounds(x, 68, 156, 20);
    Edit1.setBounds(x, 90, 116, 22);
    Button8.setBounds(x + 120, 90, 34, 22);
    GroupBox19.setBounds(x, 116, 156, 236);
    ui::RadioButton* radios[] = {&cnone, &CBorder, &ctitle, &clength, &ckind,
                                 &cdesc, &csub,    &clng,   &ccomm,   &clogo};
    for (int i = 0; i < 10; ++i)
        radios[i]->setBounds(8 + (i % 2) * 72, 18 + (i / 2) * 22, 70, 20);
    MFont.setBounds(8, 132, 66, 24);
    MSet.setBounds(80, 132, 66, 24);
    MPos.setBounds(8, 160, 138, 24);
    Justify.setBounds(x, 356, 156, 20);
    Label5.setBounds(x, 378, 156, 16);
    tb.setBounds(x, 394, 156, 24);
}

void TCoverPrint::layOutPrint() {
    GroupBox12.setBounds(8, 4, 310, 80);
    printerdpi.setBounds(8, 20, 60, 22);
    Label11.setBounds(8, 46, 296, 16);
    Label12.setBounds(8, 62, 296, 16);
    GroupBox14.setBounds(8, 90, 310, 170);
    ui::Label* labels[] = {&Label13, &Label14, &Label15, &Label16};
    ui::Edit* edits[] = {&ftop, &fleft, &btop, &bleft};
    for (int i = 0; i < 4; ++i) {
        labels[i]->setBounds(8, 22 + i * 28, 140, 16);
        edits[i]->setBounds(150, 20 + i * 28, 60, 22);
    }
    fromtop.setBounds(8, 134, 140, 20);
    fromfront.setBounds(150, 134, 156, 20);
    GroupBox13.setBounds(8, 266, 310, 90);
    printfront.setBounds(8, 18, 200, 20);
    printback.setBounds(8, 40, 200, 20);
    drawlines.setBounds(8, 62, 200, 20);
    GroupBox16.setBounds(330, 4, 320, 170);
    GroupBox17.setBounds(330, 180, 320, 170);
    const std::pair<ui::GroupBox*, std::vector<ui::RadioButton*>> sides[] = {
        {&GroupBox16, {&LAlignup, &LCenter, &LAligndown}}, {&GroupBox17, {&RAlignup, &RCenter, &RAligndown}}};
    for (const auto& side : sides)
        for (int i = 0; i < 3; ++i)
            side.second[static_cast<std::size_t>(i)]->setBounds(8, 20 + i * 24, 120, 20);
    GroupBox15.setBounds(140, 16, 170, 80);
    GroupBox18.setBounds(140, 16, 170, 80);
    LDownup.setBounds(8, 20, 150, 20);
    Lupdown.setBounds(8, 44, 150, 20);
    RDownup.setBounds(8, 20, 150, 20);
    RUpDown.setBounds(8, 44, 150, 20);
    Button2.setBounds(330, 360, 100, 30);
}

void TCoverPrint::connectHandlers() {
    Button7.onClick = [this] { Button7Click(); };
    Label7.onClick = [this] { Label7Click(); };
    Label7.setCursor(ui::Cursor::Hand);
    Button1.onClick = [this] { Button1Click(); };
    Button3.onClick = [this] { Button3Click(); };
    Button4.onClick = [this] { Button4Click(); };
    Button6.onClick = [this] { Button6Click(); };
    UL.onClick = [this] { ULClick(); };
    UM.onClick = [this] { UMClick(); };
    UR.onClick = [this] { URClick(); };
    ML.onClick = [this] { MLClick(); };
    MM.onClick = [this] { MMClick(); };
    MR.onClick = [this] { MRClick(); };
    DL.onClick = [this] { DLClick(); };
    DM.onClick = [this] { DMClick(); };
    DR.onClick = [this] { DRClick(); };
    center.onClick = [this] { centerClick(); };
    Button9.onClick = [this] { Button9Click(); };
    Button10.onClick = [this] { Button10Click(); };
    Button2.onClick = [this] { Button2Click(); };
    printerdpi.onChange = [this] { printerdpiChange(); };
    printerdpi.onKeyPress = [this](char& key) { printerdpiKeyPress(key); };
    const auto borderKeys = [](char& key) {
        if (static_cast<unsigned char>(key) >= ' ' && key != '.' && (key < '0' || key > '9'))
            key = 0;
    };
    for (ui::Edit* edit : {&ftop, &fleft, &btop, &bleft})
        edit->onKeyPress = borderKeys;
    connectBackHandlers();
}

void TCoverPrint::FormCreate() {
    if (core::registry::keyExists(core::RootKey::CurrentUser, CoverRegistryKey)) {
        // A stored value that is no resolution (an older program kept "0") starts from the default.
        const std::string stored = dpiTextFromRegistry(
            core::registry::readString(core::RootKey::CurrentUser, CoverRegistryKey, DpiValueName));
        printerdpi.setText(dpiValue(stored) ? stored : std::string(DefaultDpiText));
    }
    if (link_.minimize)
        link_.minimize();
    ExeDir = core::withTrailingDelim(link_.programFolder.empty() ? core::extractFilePath(ui::programFile())
                                                                 : link_.programFolder);
    OpenDialog1.initialDir = ExeDir + "covers/front";
    dropFilter_ = std::make_unique<DropFilter>(*this);
    window()->setAcceptDrops(true);
    window()->installEventFilter(dropFilter_.get());
    BackPicture.SetSize(0, 0);
    if (const std::optional<int> dpi = dpiValue(printerdpi.text()))
        Dpi = *dpi;
    Layout = defaultLayout();
    makeDefaultLogo();
    initcanvas();
    AssignLangage();
    // The previews keep their pixel sizes: positions on them are the layout's coordinates.
    ui::fitToText(*this, {Image1.widget(), Image321.widget(), backpanel.widget(), tranche.widget()});
}

void TCoverPrint::initcanvas() {
    for (g32::TImage32* image : {&tranche, &Image321, &backcov}) {
        image->Bitmap().SetSize(image->width(), image->height());
        image->Bitmap().Clear(White32);
    }
    backcov.SetColor(ui::Colors::White);
    Image321.SetColor(ui::Colors::White);
    for (g32::TImage32* image : {&tranche, &backcov}) {
        image->Bitmap().Font().name = DefaultFontName;
        image->Bitmap().Font().size = InitialFontSize;
        image->Bitmap().Font().color = 0;
    }
    Image1.setBounds(Image1.left(), Image1.top(), FrontPreviewSize, FrontPreviewSize);
    Zoom = InitialZoom;
    backpic.setTextSilent(ExeDir + "Covers/back/bckgnd.jpg");
    if (core::fileExists(backpic.text()))
        GetBackPic(backpic.text());
}

void TCoverPrint::AssignLangage() {
    const auto texts = loadCoverTexts(ExeDir);
    if (!texts)
        return;
    CaptionTable = *texts;
    const auto t = [this](int n) { return CaptionTable[static_cast<std::size_t>(n)]; };
    const std::pair<int, std::function<void(const std::string&)>> targets[] = {
        {1, [this](const std::string& s) { Front.setCaption(s); }},
        {2, [this](const std::string& s) { Backtxt.setCaption(s); }},
        {3, [this](const std::string& s) { Back.setCaption(s); }},
        {4, [this](const std::string& s) { Print.setCaption(s); }},
        {5, [this](const std::string& s) { GroupBox3.setCaption(s); }},
        {6, [this](const std::string& s) { Button1.setCaption(s); }},
        {7, [this](const std::string& s) { Label3.setCaption(s); }},
        {8, [this](const std::string& s) { GroupBox1.setCaption(s); }},
        {9, [this](const std::string& s) { Button6.setCaption(s); }},
        {10, [this](const std::string& s) { center.setCaption(s); }},
        {11, [this](const std::string& s) { GroupBox2.setCaption(s); }},
        {12, [this](const std::string& s) { ltitle.setCaption(s); }},
        {13, [this](const std::string& s) { llength.setCaption(s); }},
        {14, [this](const std::string& s) { lkind.setCaption(s); }},
        {15, [this](const std::string& s) { ldesc.setCaption(s); }},
        {16, [this](const std::string& s) { lsub.setCaption(s); }},
        {17, [this](const std::string& s) { llng.setCaption(s); }},
        {18, [this](const std::string& s) { lcomm.setCaption(s); }},
        {19, [this](const std::string& s) { usebackpic.setCaption(s); }},
        {20, [this](const std::string& s) { CheckBox1.setCaption(s); }},
        {21, [this](const std::string& s) { GroupBox19.setCaption(s); }},
        {22, [this](const std::string& s) { cnone.setCaption(s); }},
        {23, [this](const std::string& s) { CBorder.setCaption(s), GroupBox14.setCaption(s); }},
        {24, [this](const std::string& s) { ctitle.setCaption(s); }},
        {25, [this](const std::string& s) { clength.setCaption(s); }},
        {26, [this](const std::string& s) { ckind.setCaption(s); }},
        {27, [this](const std::string& s) { cdesc.setCaption(s); }},
        {28, [this](const std::string& s) { csub.setCaption(s); }},
        {29, [this](const std::string& s) { clng.setCaption(s); }},
        {30, [this](const std::string& s) { ccomm.setCaption(s); }},
        {31, [this](const std::string& s) { clogo.setCaption(s); }},
        {32, [this](const std::string& s) { MFont.setCaption(s); }},
        {33, [this](const std::string& s) { MPos.setCaption(s); }},
        {34, [this](const std::string& s) { MSet.setCaption(s); }},
        {35, [this](const std::string& s) { Justify.setCaption(s); }},
        {36, [this](const std::string& s) { Label5.setCaption(s); }},
        {37, [this](const std::string& s) { Label13.setCaption(s); }},
        {38, [this](const std::string& s) { Label14.setCaption(s); }},
        {39, [this](const std::string& s) { Label15.setCaption(s); }},
        {40, [this](const std::string& s) { Label16.setCaption(s); }},
        {41, [this](const std::string& s) { fromtop.setCaption(s); }},
        {42, [this](const std::string& s) { fromfront.setCaption(s); }},
        {43, [this](const std::string& s) { GroupBox16.setCaption(s); }},
        {44, [this](const std::string& s) { GroupBox17.setCaption(s); }},
        {45, [this](const std::string& s) { LAlignup.setCaption(s), RAlignup.setCaption(s); }},
        {46, [this](const std::string& s) { LCenter.setCaption(s), RCenter.setCaption(s); }},
        {47, [this](const std::string& s) { LAligndown.setCaption(s), RAligndown.setCaption(s); }},
        {48, [this](const std::string& s) { GroupBox15.setCaption(s), GroupBox18.setCaption(s); }},
        {49, [this](const std::string& s) { GroupBox12.setCaption(s); }},
        {50, [this](const std::string& s) { Label11.setCaption(s); }},
        {51, [this](const std::string& s) { Label12.setCaption(s); }},
        {52, [this](const std::string& s) { GroupBox13.setCaption(s); }},
        {53, [this](const std::string& s) { printfront.setCaption(s); }},
        {54, [this](const std::string& s) { printback.setCaption(s); }},
        {55, [this](const std::string& s) { drawlines.setCaption(s); }},
        {56, [this](const std::string& s) { Button2.setCaption(s); }},
        {57, [this](const std::string& s) { Button7.setCaption(s); }},
        {58, [this](const std::string& s) { setCaption(s); }},
        {59, [this](const std::string& s) { Label6.setCaption(s); }},
        {60, [this](const std::string& s) { Button9.setCaption(s); }},
        {61, [this](const std::string& s) { Button10.setCaption(s); }},
    };
    for (const auto& [entry, apply] : targets)
        apply(t(entry));
}

void TCoverPrint::takeFromMainWindow() {
    // Without a profile the printer opens empty: nothing of the main window's texts is taken.
    if (link_.profileName) {
        const std::string profile = link_.profileName();
        if (profile == NoProfileName)
            return;
        moviename.setText(profile);
    }
    if (link_.movieLength) {
        if (const auto length = link_.movieLength())
            movielength.setText(*length + " min.");
    }
    if (link_.settings)
        ripdesc.setText(link_.settings());
    if (link_.comment)
        sum1.setText(link_.comment());
}

void TCoverPrint::FormClose(ui::CloseAction&) {
    if (link_.restore && !mainRestored_)
        link_.restore();
    mainRestored_ = true;
}

void TCoverPrint::Button7Click() {
    close();
}

void TCoverPrint::Label7Click() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(ExeDir + ReadMeName)));
}

} // namespace cover
