// Small routines of the main window that several pages share: the registration of the subtitle filter
// and the status lights of the paths page.
#include "kes/form1.h"
#include "kes/form1_unit.h"

#include "platform/com/inproc_server.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"

#include <memory>
#include <vector>

namespace kes {

namespace core = platform::core;
namespace com = platform::com;

namespace {

constexpr const char* SubtitleFilter = "dvobsub.ax";
constexpr const char* ArchiveLibrary = "unrar.dll";

// Registered filters stay loaded for the life of the program, as their registration expects; a filter
// registered again is the one already loaded.
std::shared_ptr<com::InprocServer> loadFilter(const std::string& path) {
    static std::vector<std::shared_ptr<com::InprocServer>> loaded;
    for (const auto& server : loaded)
        if (server->path() == core::resolvePath(path))
            return server;
    std::shared_ptr<com::InprocServer> server = com::InprocServer::load(path);
    if (server)
        loaded.push_back(server);
    return server;
}

} // namespace

bool TForm1::RegisterFilter() {
    // The extern folder stays the current directory afterwards.
    const bool changed = core::setCurrentDir(ExternDir);
    static_cast<void>(changed); // a missing extern folder means the files below are missing too
    for (const char* name : {ArchiveLibrary, SubtitleFilter}) {
        const std::string target = core::joinPath(SystemDir, name);
        // Existing files are never replaced; a failed copy shows up as a missing filter below.
        if (!core::fileExists(target) && core::fileExists(ExternDir + name)) {
            const bool copied = core::copyFile(ExternDir + name, target, true);
            static_cast<void>(copied);
        }
    }
    const std::string filter = core::joinPath(SystemDir, SubtitleFilter);
    if (!core::fileExists(filter))
        return false;
    const std::shared_ptr<com::InprocServer> server = loadFilter(filter);
    return server && server->registerServer() == com::S_OK;
}

void TForm1::isfileok() {
    const auto show = [](ui::Image& light, const ui::Image& picture) { light.setPicture(picture.picture()); };
    show(p1, core::fileExists(Vobfile.text()) ? canvastrue : canvasfalse);
    // An output file that exists would be overwritten; one whose folder is missing cannot be written.
    const std::pair<ui::Image*, ui::Edit*> outputs[] = {
        {&p2, &AVIFile},       {&p3, &WavFileEdit}, {&p4, &Wav2},  {&p5, &compaudiofile},
        {&p6, &compressedSS2}, {&p7, &FinalFile},   {&p8, &AviSS2}};
    for (const auto& [light, edit] : outputs) {
        const std::string path = edit->text();
        const bool fine = !core::fileExists(path) && core::directoryExists(core::extractFilePath(path));
        show(*light, fine ? canvastrue : canvasfalse);
    }
    if (!twostreams.checked()) {
        for (ui::Image* secondStream : {&p4, &p6, &p8})
            secondStream->clear();
    }
}

} // namespace kes
