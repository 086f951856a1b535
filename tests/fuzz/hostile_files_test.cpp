// Every reader that opens a file by name, given a named pipe nobody writes to: each must refuse it at
// once and cleanly (a pipe may never end, and opening one for reading waits for a writer), instead of
// waiting or reading without end.
#include "cover/cover_picture.h"
#include "kes/ac3_join.h"
#include "kes/ifo_files.h"
#include "kes/ifo_video.h"
#include "kes/language_file.h"
#include "kes/profile_format.h"
#include "kes/wav_format.h"
#include "outside/azid/azid_run.h"
#include "outside/dvd_audio/file_set_source.h"
#include "outside/vobsub/extractor.h"
#include "outside/vobsub/vob_scan.h"
#include "outside/vobsub/vobsub_error.h"
#include "platform/core/files.h"
#include "platform/core/registry.h"
#include "platform/dshow/filters/wav_file_info.h"
#include "platform/gdi/graphic.h"
#include "platform/mmio/riff_file.h"
#include "platform/ui/dialog_script.h"
#include "platform/vfw/byte_source.h"
#include "quillon/file_list.h"
#include "quillon/message_sink.h"
#include "tests/support/fifo.h"
#include "tests/support/temp_dir.h"
#include "tools/amplifier/amplify_engine.h"
#include "tools/audio_converter/wave_source.h"
#include "tools/muxer/mux_sizes.h"
#include "tools/stream_extractor/wav_byte_swap.h"
#include "tools/synchronizer/avi_header_patch.h"
#include "tools/synchronizer/synch_engine.h"
#include "tools/vobsub_adjuster/idx_index.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using kes::test::TempDir;

struct PipeReader {
    const char* name;
    // Reads the pipe at that path; true when the reader refused it cleanly.
    std::function<bool(const std::string&)> refuses;
};

class QuietAmplifySink : public tools::amplifier::AmplifySink {
public:
    void errorBox(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

class QuietQuillonSink : public quillon::MessageSink {
public:
    void warning(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return true; }
};

template <typename Call>
bool throwsVobSubError(Call call) {
    try {
        call();
    } catch (const outside::vobsub::VobSubError&) {
        return true;
    }
    return false;
}

std::vector<PipeReader> pipeReaders() {
    namespace core = platform::core;
    return {
        {"whole file", [](const std::string& p) { return !core::readFile(p); }},
        {"line file", [](const std::string& p) { return !core::readLines(p); }},
        {"file head", [](const std::string& p) { return !core::readFileHead(p, 16); }},
        {"integer field", [](const std::string& p) { return !core::readLE32(p, 0); }},
        {"copy source",
         [](const std::string& p) {
             return !core::copyFile(p, p + ".copy") && !core::fileExists(p + ".copy");
         }},
        {"in-place open", [](const std::string& p) { return core::openRegularFile(p, O_RDWR) < 0; }},
        {"RIFF file",
         [](const std::string& p) {
             return platform::mmio::RiffFile::open(p, platform::mmio::OpenMode::Read) == nullptr;
         }},
        {"AVI file", [](const std::string& p) { return platform::vfw::openFileSource(p) == nullptr; }},
        {"WAV source filter",
         [](const std::string& p) { return !platform::dshow::filters::readWavFileInfo(p); }},
        {"converter's WAV",
         [](const std::string& p) { return !tools::audio_converter::readSourceFormat(p); }},
        {"main window's WAV", [](const std::string& p) { return !kes::wavSampleRate(p); }},
        {"amplifier",
         [](const std::string& p) {
             QuietAmplifySink sink;
             tools::amplifier::AmplifyEngine engine(sink);
             bool userBreak = false;
             const auto result = engine.run({p, p + ".out.wav", false, 10}, userBreak);
             return result.failed && !core::fileExists(p + ".out.wav");
         }},
        {"PCM byte swap",
         [](const std::string& p) {
             return tools::stream_extractor::swapWavBytes(p) ==
                    tools::stream_extractor::SwapStatus::CannotOpen;
         }},
        {"stream headers", [](const std::string& p) { return !tools::synchronizer::findStreamHeaders(p); }},
        {"movi list size", [](const std::string& p) { return tools::synchronizer::moviListBytes(p) <= 0; }},
        {"muxer's video size", [](const std::string& p) { return tools::muxer::getVideoSize(p) <= 0; }},
        {"IFO head", [](const std::string& p) { return !kes::readIfoHead(p); }},
        {"IFO title",
         [](const std::string& p) {
             try {
                 kes::ReadIfoTitleInfo(p, "PAL");
             } catch (const kes::IfoReadError&) {
                 return true;
             }
             return false;
         }},
        {"profile", [](const std::string& p) { return !kes::readProfileBytes(p); }},
        {"language file", [](const std::string& p) { return !kes::readLanguageFile(p); }},
        {"cover picture",
         [](const std::string& p) {
             try {
                 return cover::loadPicture(p) == nullptr;
             } catch (const platform::gdi::GraphicError&) {
                 return true; // the picture's own message
             }
         }},
        {"subtitle index",
         [](const std::string& p) {
             tools::vobsub_adjuster::VobSubIndex index;
             return index.load(p) != tools::vobsub_adjuster::IdxLoadStatus::Ok;
         }},
        {"VOB list",
         [](const std::string& p) {
             QuietQuillonSink sink;
             quillon::FileList list(sink);
             list.load(p);
             return list.count() == 0;
         }},
        {"AC3 tools' VOB set",
         [](const std::string& p) {
             outside::dvd_audio::FileSetSource source;
             return !source.open({p});
         }},
        {"AC3 file of azid",
         [](const std::string& p) {
             outside::azid::AzidOptions options;
             options.input = p;
             options.output = p + ".wav";
             return outside::azid::runAzid(options) != 0 && !core::fileExists(p + ".wav");
         }},
        {"subtitle extractor's VOB",
         [](const std::string& p) {
             outside::vobsub::TitleIfo title;
             outside::vobsub::VobScanner scanner(title, {0}, [](const outside::vobsub::SubpicturePacket&) {});
             return throwsVobSubError([&] { outside::vobsub::scanVobFiles({p}, scanner, nullptr); });
         }},
        {"vsp.ini",
         [](const std::string& p) {
             return throwsVobSubError([&] { outside::vobsub::extractSubtitles(p); });
         }},
        {"dialog script log",
         [](const std::string& p) { return platform::ui::testing::readLogFile(p).empty(); }},
        {"registry store",
         [](const std::string& p) {
             const char* env = std::getenv("KESTROVA_REGISTRY");
             const std::string saved = env ? env : "";
             ::setenv("KESTROVA_REGISTRY", p.c_str(), 1);
             const bool refused = !core::registry::readString(core::RootKey::CurrentUser, "Software", "x") &&
                                  core::registry::subKeys(core::RootKey::CurrentUser, "").empty();
             ::setenv("KESTROVA_REGISTRY", saved.c_str(), 1);
             return refused;
         }},
    };
}

TEST(HostileFiles, EveryReaderRefusesAPipeAtOnce) {
    const TempDir dir("kes-pipes");
    const std::vector<PipeReader> readers = pipeReaders();
    for (size_t i = 0; i < readers.size(); ++i) {
        const PipeReader& reader = readers[i];
        SCOPED_TRACE(reader.name);
        // Named as a picture, since the picture reader goes by the extension.
        const std::string fifo = dir.file("pipe-" + std::to_string(i) + ".bmp");
        kes::test::makeFifo(fifo);
        bool refused = false;
        EXPECT_TRUE(kes::test::returnsWithin(fifo, [&] { refused = reader.refuses(fifo); }))
            << reader.name << " waited on the pipe";
        EXPECT_TRUE(refused) << reader.name << " took the pipe for a file";
    }
}

TEST(HostileFiles, WholeFilesLargerThanTheirLimitAreRefused) {
    const TempDir dir("kes-large");
    const std::string path = dir.file("large.bin");
    ASSERT_TRUE(platform::core::writeFileAtomic(path, std::string(4096, 'x')));
    EXPECT_FALSE(platform::core::readFile(path, 4095));
    EXPECT_TRUE(platform::core::readFile(path, 4096));
    // A head is cut at its limit, never more.
    EXPECT_EQ(platform::core::readFileHead(path, 100)->size(), 100u);
}

} // namespace
