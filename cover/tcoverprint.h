#pragma once

// The cover printer window: a square front picture, a back inlay with seven movable text items, a
// logo and a background picture, two spines with the rotated movie title, layout files, and printing
// of the whole cover at the printer's resolution. It minimises the main window while it is open and
// restores it when it closes.

#include "cover/cover_language.h"
#include "cover/cover_layout.h"
#include "cover/cover_metrics.h"
#include "cover/cover_page.h"
#include "cover/cover_render.h"
#include "g32/g32_image.h"

#include "platform/gdi/graphic.h"
#include "platform/ui/buttons.h"
#include "platform/ui/containers.h"
#include "platform/ui/edit.h"
#include "platform/ui/file_dialogs.h"
#include "platform/ui/font_dialog.h"
#include "platform/ui/form.h"
#include "platform/ui/image.h"
#include "platform/ui/print_dialog.h"
#include "platform/ui/ranges.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QObject;

namespace cover {

namespace ui = platform::ui;

// What the window takes from the main window, which fills it in when it opens the cover printer.
struct MainWindowLink {
    // The program folder ("covers", "LANG" and the printed page live there); empty: the folder of the
    // running program file.
    std::string programFolder;
    std::function<std::string()> profileName; // "None" when no profile is loaded
    // The movie length in minutes, or nothing when the option that yields it is not ticked.
    std::function<std::optional<std::string>()> movieLength;
    std::function<std::string()> settings; // the settings description
    std::function<std::string()> comment;
    std::function<void()> minimize;
    std::function<void()> restore;
};

inline constexpr const char* CoverRegistryKey = "Software\\Kestrova\\Cover";
inline constexpr const char* DpiValueName = "dpi";
inline constexpr const char* PageFileName = "cover.bmp";
inline constexpr const char* PrintDocumentTitle = "Kestrova CD Cover";
inline constexpr const char* NoProfileName = "None";
inline constexpr int InitialZoom = 400;
inline constexpr int ZoomStep = 10;

class TCoverPrint : public ui::Form {
public:
    explicit TCoverPrint(MainWindowLink link = {});
    ~TCoverPrint() override;

    ui::PageControl cov{*this};
    ui::TabSheet Front{cov, "Front cover"};
    ui::TabSheet Backtxt{cov, "Back text"};
    ui::TabSheet Back{cov, "Back cover"};
    ui::TabSheet Print{cov, "Print"};
    ui::Button Button7{*this, "Quit"};

    // "Front cover"
    ui::GroupBox picis{Front};
    ui::Image Image1{picis};
    ui::GroupBox GroupBox3{Front, "File"};
    ui::Button Button1{GroupBox3, "load"};
    ui::Label Label3{Front, "Picture size :"};
    ui::Label Label1{Front, "X : "};
    ui::Label Label2{Front, "Y : "};
    ui::GroupBox GroupBox1{Front, "Resize"};
    ui::Button Button3{GroupBox1, "+"};
    ui::Button Button4{GroupBox1, "-"};
    ui::Button Button6{GroupBox1, "Fit screen"};
    ui::CheckBox center{Front, "Center"};
    ui::GroupBox GroupBox2{Front, "Position"};
    ui::RadioButton UL{GroupBox2}, UM{GroupBox2}, UR{GroupBox2};
    ui::RadioButton ML{GroupBox2}, MM{GroupBox2}, MR{GroupBox2};
    ui::RadioButton DL{GroupBox2}, DM{GroupBox2}, DR{GroupBox2};
    ui::Label Label7{Front, "Kestrova read me"};

    // "Back text"
    ui::Label ltitle{Backtxt, "Movie title :"};
    ui::Edit moviename{Backtxt};
    ui::Label llength{Backtxt, "Movie runtime :"};
    ui::Edit movielength{Backtxt};
    ui::Label lkind{Backtxt, "Movie genre :"};
    ui::Edit genre{Backtxt};
    ui::Label ldesc{Backtxt, "Rip description :"};
    ui::Edit ripdesc{Backtxt};
    ui::Label lsub{Backtxt, "Subtitle :"};
    ui::Edit subt{Backtxt};
    ui::Label llng{Backtxt, "Language :"};
    ui::Edit lng{Backtxt};
    ui::Label lcomm{Backtxt, "Summary/comment  :"};
    ui::Edit sum1{Backtxt}, sum2{Backtxt}, sum3{Backtxt}, sum4{Backtxt};
    ui::Button Button9{Backtxt, "Save"};
    ui::Button Button10{Backtxt, "Load"};

    // "Back cover"
    g32::TImage32 Image321{Back};
    ui::Panel backpanel{Back};
    g32::TImage32 backcov{backpanel};
    g32::TImage32 Image6{backpanel};
    g32::TImage32 tranche{Back};
    ui::Label Label6{Back, "Settings :"};
    ui::CheckBox usebackpic{Back, "Use background picture"};
    ui::Edit backpic{Back};
    ui::Button Button5{Back, "../.."};
    ui::CheckBox CheckBox1{Back, "Show logo"};
    ui::Edit Edit1{Back};
    ui::Button Button8{Back, "../.."};
    ui::GroupBox GroupBox19{Back, "Modify"};
    ui::RadioButton cnone{GroupBox19, "None"};
    ui::RadioButton CBorder{GroupBox19, "Borders"};
    ui::RadioButton ctitle{GroupBox19, "Title"};
    ui::RadioButton clength{GroupBox19, "Runtime"};
    ui::RadioButton ckind{GroupBox19, "Genre"};
    ui::RadioButton cdesc{GroupBox19, "Description"};
    ui::RadioButton csub{GroupBox19, "Subtitle"};
    ui::RadioButton clng{GroupBox19, "Language"};
    ui::RadioButton ccomm{GroupBox19, "Comments"};
    ui::RadioButton clogo{GroupBox19, "Logo"};
    ui::Button MFont{GroupBox19, "Font"};
    ui::Button MSet{GroupBox19, "Settings"};
    ui::Button MPos{GroupBox19, "Position"};
    ui::CheckBox Justify{Back, "Justify"};
    ui::Label Label5{Back, "Right column :"};
    ui::TrackBar tb{Back};
    ui::Label Label9{Back, "X = "};
    ui::Label Label10{Back, "Y = "};
    ui::Label cpos{Back};

    // "Print"
    ui::GroupBox GroupBox12{Print, "Printer dpi"};
    ui::Edit printerdpi{GroupBox12, DefaultDpiText};
    ui::Label Label11{GroupBox12, "This must be changed manually in the printer"};
    ui::Label Label12{GroupBox12, "settings dialog"};
    ui::GroupBox GroupBox14{Print, "Borders"};
    ui::Label Label13{GroupBox14, "Front cover top :"};
    ui::Edit ftop{GroupBox14, "2"};
    ui::Label Label14{GroupBox14, "Front cover left :"};
    ui::Edit fleft{GroupBox14, "2"};
    ui::Label Label15{GroupBox14, "Back cover top :"};
    ui::Edit btop{GroupBox14, "0"};
    ui::Label Label16{GroupBox14, "Back cover left :"};
    ui::Edit bleft{GroupBox14, "2"};
    ui::RadioButton fromtop{GroupBox14, "from top of page"};
    ui::RadioButton fromfront{GroupBox14, "from end of front cover"};
    ui::GroupBox GroupBox13{Print, "Printing"};
    ui::CheckBox printfront{GroupBox13, "Print Front"};
    ui::CheckBox printback{GroupBox13, "Print Back"};
    ui::CheckBox drawlines{GroupBox13, "Draw lines"};
    ui::GroupBox GroupBox16{Print, "Left border"};
    ui::RadioButton LAlignup{GroupBox16, "Align up"};
    ui::RadioButton LCenter{GroupBox16, "Center"};
    ui::RadioButton LAligndown{GroupBox16, "Align down"};
    ui::GroupBox GroupBox15{GroupBox16, "Orientation"};
    ui::RadioButton LDownup{GroupBox15, "Bottom to top"};
    ui::RadioButton Lupdown{GroupBox15, "Top to bottom"};
    ui::GroupBox GroupBox17{Print, "Right border"};
    ui::RadioButton RAlignup{GroupBox17, "Align up"};
    ui::RadioButton RCenter{GroupBox17, "Center"};
    ui::RadioButton RAligndown{GroupBox17, "Align down"};
    ui::GroupBox GroupBox18{GroupBox17, "Orientation"};
    ui::RadioButton RDownup{GroupBox18, "Bottom to top"};
    ui::RadioButton RUpDown{GroupBox18, "Top to bottom"};
    ui::Button Button2{Print, "Print"};

    ui::OpenDialog OpenDialog1;
    ui::OpenDialog OpenDialog2;
    ui::OpenDialog OpenDialog3;
    ui::SaveDialog SaveDialog1;
    ui::FontDialog FontDialog1;
    ui::PrintDialog PrintDialog1;

    // The design.
    CoverLayout Layout;
    std::unique_ptr<platform::gdi::Bitmap> FrontPicture;
    g32::TBitmap32 BackPicture;
    double Ratio = 1.0;
    int Zoom = InitialZoom;
    int PicWidth = 0;
    int PicHeight = 0;
    int PicX = 0;
    int PicY = 0;
    int Dpi = 300;
    // Borders of the last print, in printer dots.
    int FrontTop = 0;
    int FrontLeft = 0;
    int BackLeft = 0;
    int BackTop = 0;
    // Entries 1..62 of the language section; entry 62 is the message for a too-short layout file.
    CoverTexts CaptionTable;
    // The program folder, ending with "/".
    std::string ExeDir;

    // Creation, language, closing.
    void FormCreate();
    void FormClose(ui::CloseAction& action);
    void AssignLangage();
    void initcanvas();
    void Button7Click();
    void Label7Click();

    // Front cover.
    void Button1Click();
    void getjpegfile(const std::string& path);
    void showfit(int z);
    void Button3Click();
    void Button4Click();
    void Button6Click();
    void ULClick();
    void UMClick();
    void URClick();
    void MLClick();
    void MMClick();
    void MRClick();
    void DLClick();
    void DMClick();
    void DRClick();
    void centerClick();

    // Back cover.
    void displayback();
    void setBMPfont(const TCoverItem& item);
    void movienameChange();
    // The same as movienameChange; no control is bound to it.
    void centernameClick();
    void movielengthChange();
    void ripdescChange();
    void genreChange();
    void subtChange();
    void lngChange();
    void sum1Change();
    void sum2Change();
    void sum3Change();
    void sum4Change();
    void tbChange();
    void usebackpicClick();
    void JustifyClick();
    void cnoneClick();
    void CBorderClick();
    void ctitleClick();
    void clengthClick();
    void ckindClick();
    void cdescClick();
    void csubClick();
    void clngClick();
    void ccommClick();
    void clogoClick();
    void MFontClick();
    void MSetClick();
    void MPosClick();
    void backcovMouseMove(int X, int Y);
    void backcovMouseDown(int X, int Y);
    void MPosMouseMove();
    void CheckBox1Click();
    void Button5Click();
    void backpicChange();
    void GetBackPic(const std::string& path);
    void Button8Click();
    void Edit1Change();
    void LAlignupClick();
    void LCenterClick();
    void LAligndownClick();
    void LDownupClick();
    void LupdownClick();
    // The first dropped file: a background on "Back cover", a front picture on "Front cover".
    void WmDropFiles(const std::string& path);

    // Layout files, printing, resolution.
    void Button9Click();
    void Button10Click();
    // Loads a layout file (the part of Button10Click after its dialog).
    void loadLayoutFile(const std::string& path);
    void Button2Click();
    // Reads a number in centimetres; an invalid text shows a message and gives 0.
    double ParseDecimal(const std::string& text);
    void printerdpiChange();
    void printerdpiKeyPress(char& key);

    // The texts and labels of the back as the edits hold them.
    BackTexts backTexts() const;
    BackLabels backLabels() const;

private:
    void layOutFront();
    void layOutBackText();
    void layOutBack();
    void layOutPrint();
    void connectHandlers();
    void connectBackHandlers();
    void setDefaults();
    void takeFromMainWindow();
    void sizeLogoToPicture();
    // The buttons that the checked "Modify" radio allows.
    void enableModifyButtons();
    void makeDefaultLogo();
    FrontPosition checkedPosition() const;
    // The item whose "Modify" radio is checked (none for "None", "Borders" and "Logo").
    std::optional<CoverItemIndex> selectedItem() const;
    PageSettings pageSettings() const;
    void printPage(const platform::gdi::Bitmap& page);

    MainWindowLink link_;
    std::unique_ptr<QObject> dropFilter_;
    bool mainRestored_ = false;
};

// The latest cover printer window.
extern TCoverPrint* CoverPrint;

} // namespace cover
