// The subtitle page's handlers: the title's IFO file and its subpicture languages, the languages chosen
// for extraction, and the subtitle step's check box.
#include "kes/form1.h"
#include "kes/ifo_files.h"
#include "kes/ifo_subtitles.h"

#include "platform/core/files.h"
#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

void TForm1::connectSubtitleHandlers() {
    ifofile.onChange = [this] { ifofileChange(); };
    SpeedButton5.onClick = [this] { SpeedButton5Click(); };
    SpeedButton6.onClick = [this] { SpeedButton6Click(); };
    extractsub.onClick = [this] { extractsubClick(); };
}

void TForm1::subbuttonClick() {
    showPage(subsheet, subbutton);
    if (!RegisterFilter())
        ui::errorBox("Can't register DVOBSUB.AX");
    ifofile.setText(IfoNameOfVob(Vobfile.text()));
    destsub.setText(SubNameOfAvi(FinalFile.text()));
}

void TForm1::ifofileChange() {
    // The old title's languages go first, whatever the new file holds.
    IFOlngList.clearItems();
    selectedlng.clearItems();
    damagedIfoShown_.clear();
    ShowIfoTitleInfo();

    const std::string ifo = ifofile.text();
    if (ifo == NoIfoFile || !core::fileExists(ifo))
        return;
    const std::optional<std::string> head = readIfoHead(ifo);
    const IfoSubtitles subtitles = parseIfoSubtitles(head ? *head : std::string());
    // The languages read before any damage stay listed.
    for (const std::string& name : subtitles.names)
        IFOlngList.addItem(name);
    if (!head || subtitles.truncated)
        reportDamagedIfo(ifo, "Can't read the subtitle languages of " + ifo + " !");
}

void TForm1::reportDamagedIfo(const std::string& ifo, const std::string& text) {
    // Each reader of the pages finds the same damage: it is told once per file read, and not while a
    // multi-rip loads its profiles (a rip that needs the file fails on it and its log says so).
    if (unattended() || damagedIfoShown_ == ifo)
        return;
    damagedIfoShown_ = ifo;
    ui::errorBox(text);
}

void TForm1::SpeedButton5Click() {
    for (int i = 0; i < IFOlngList.itemCount(); ++i) {
        if (!IFOlngList.selected(i))
            continue;
        const std::string language = IFOlngList.item(i);
        if (selectedlng.indexOf(language) >= 0)
            continue;
        extractsub.setEnabled(true);
        extractsub.setChecked(true);
        selectedlng.addItem(language);
    }
}

void TForm1::SpeedButton6Click() {
    for (int i = 0; i < selectedlng.itemCount(); ++i) {
        if (!selectedlng.selected(i))
            continue;
        selectedlng.deleteItem(i);
        if (selectedlng.itemCount() == 0) {
            extractsub.setChecked(false);
            extractsub.setEnabled(false);
        }
        return;
    }
}

void TForm1::extractsubClick() {
    RipAll.setChecked(true);
}

} // namespace kes
