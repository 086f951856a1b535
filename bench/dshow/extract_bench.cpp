// Extraction of the first AC3 stream of a generated VOB set to a WAV file, against
// `ffmpeg -i set.vob -map 0:a:0 out.wav` on the same bytes, on a 10-minute and a 20-second title:
//  - Tonegrab.exe as a whole process, started as the rip starts it (extern/ of the built program
//    folder as its current directory, the five parameters of the built-in audio path);
//  - the filter graph alone in this process (multiple-file source, parser, audio decoder, WAV writer,
//    File Writer, loaded from extern/).
//
//   bench_dshow_extract [--dir FOLDER] [--runs N] [--keep]
//
// The set (4 Mbit/s of video, a 448 kbit/s AC3 stream and a second 192 kbit/s one) is written as
// numbered files with their list for the graph and as one set.vob for ffmpeg, and read once to warm the
// page cache. Each side runs N times (1 by default), best time counted. Prints the times and the
// ratios of ffmpeg's time to ours; the goal is at least 1 for Tonegrab on the 10-minute title. run.sh
// installs ffmpeg and runs it.

#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/com/inproc_server.h"
#include "platform/com/wide_text.h"
#include "platform/dshow/file_interfaces.h"
#include "platform/dshow/filter_graph.h"
#include "platform/dshow/filters/stock_builtins.h"
#include "platform/dshow/filters/stock_guids.h"
#include "platform/dshow/graph_topology.h"
#include "platform/dshow/guids.h"
#include "tests/support/vobgen.h"

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace platform::com;
using namespace platform::dshow;
using namespace platform::dshow::filters;

constexpr double kLongSeconds = 600.0;
constexpr double kShortSeconds = 20.0;
constexpr int kVideoBytesPerSecond = 500000;
constexpr size_t kPacksPerFile = 65536; // 128 MiB files
constexpr LONG kRunLimitMs = 600000;
constexpr double kGoal = 1.0;
constexpr CLSID kMultipleFileSource = makeGuid("{53022B5B-F982-4886-B0B9-CF185F40332A}");
constexpr int kParserFirstAudioPin = 2; // "Input", "Video", then the audio streams in stream order

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_dshow_extract: %s\n", what.c_str());
    std::exit(1);
}

void check(HRESULT hr, const char* what) {
    if (FAILED(hr))
        fail(std::string(what) + " failed (0x" + std::to_string(static_cast<uint32_t>(hr)) + ")");
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void loadModules() {
    static std::vector<std::shared_ptr<InprocServer>> servers;
    for (const char* file : {"_Quillon.ax", "_Mpeg2Parser.ax", "XmdAudioDecode.dll", "_wavdest.ax"}) {
        std::string error;
        auto server = InprocServer::load((fs::path(KES_BENCH_EXTERN_DIR) / file).string(), &error);
        if (!server)
            fail(error);
        check(server->registerServer(), file);
        servers.push_back(std::move(server));
    }
    registerStockBuiltins();
    registerFilterGraph();
}

ComPtr<IBaseFilter> addFilter(IGraphBuilder* graph, const CLSID& clsid, const char16_t* name) {
    ComPtr<IBaseFilter> filter;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putVoid()),
          "create");
    check(graph->AddFilter(filter.get(), name), "AddFilter");
    return filter;
}

ComPtr<IPin> pinAt(IBaseFilter* filter, size_t n) {
    const auto pins = graph::pinsOf(filter);
    if (n >= pins.size())
        fail("a filter lacks a pin");
    return pins[n];
}

// The whole extraction as a host does it: build, run to completion, stop.
void extractThroughGraph(const fs::path& list, const fs::path& wav) {
    ComPtr<IGraphBuilder> graph;
    check(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                           graph.putVoid()),
          "graph");
    auto source = addFilter(graph.get(), kMultipleFileSource, u"Source");
    ComPtr<IFileSourceFilter> load;
    check(source.as(IID_IFileSourceFilter, load), "IFileSourceFilter");
    check(load->Load(wideFromBytes(list.string()).c_str(), nullptr), "Load");
    auto parser = addFilter(graph.get(), CLSID_Mpeg2Parser, u"Parser");
    auto decoder = addFilter(graph.get(), CLSID_AudioDecoder, u"Decoder");
    auto wavDest = addFilter(graph.get(), CLSID_WavDest, u"WAV Dest");
    auto writer = addFilter(graph.get(), CLSID_FileWriter, u"Writer");
    check(graph->Connect(pinAt(source.get(), 0).get(), pinAt(parser.get(), 0).get()), "source to parser");
    check(graph->Connect(pinAt(parser.get(), kParserFirstAudioPin).get(), pinAt(decoder.get(), 0).get()),
          "parser to decoder");
    check(graph->Connect(pinAt(decoder.get(), 1).get(), pinAt(wavDest.get(), 0).get()), "decoder to writer");
    check(graph->Connect(pinAt(wavDest.get(), 1).get(), pinAt(writer.get(), 0).get()), "to the File Writer");
    ComPtr<IFileSinkFilter> sink;
    check(writer.as(IID_IFileSinkFilter, sink), "IFileSinkFilter");
    check(sink->SetFileName(wideFromBytes(wav.string()).c_str(), nullptr), "SetFileName");

    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    check(graph.as(IID_IMediaControl, control), "IMediaControl");
    check(graph.as(IID_IMediaEvent, events), "IMediaEvent");
    check(control->Run(), "Run");
    LONG code = 0;
    check(events->WaitForCompletion(kRunLimitMs, &code), "WaitForCompletion");
    if (code != EC_COMPLETE)
        fail("the run ended with event " + std::to_string(code));
    check(control->Stop(), "Stop");
}

bool runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void warmCache(const std::vector<fs::path>& files) {
    std::vector<char> block(1 << 20);
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        }
    }
}

// The data chunk's size of a WAV file, found by walking its chunks; 0 when there is none.
uint64_t dataBytes(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    char riff[12];
    if (!in.read(riff, sizeof riff))
        return 0;
    char chunk[8];
    while (in.read(chunk, sizeof chunk)) {
        uint32_t size = 0;
        std::memcpy(&size, chunk + 4, 4);
        if (std::memcmp(chunk, "data", 4) == 0)
            return size;
        in.seekg(size + (size & 1), std::ios::cur);
    }
    return 0;
}

struct Times {
    double tonegrab = 1e30;
    double graph = 1e30;
    double ffmpeg = 1e30;
};

// Generates a set of that length in dir and times the three extractions on it.
Times timeExtraction(const fs::path& dir, double seconds, int runs) {
    std::printf("generating %.0f s of program stream...\n", seconds);
    kes::test::VobSpec spec;
    spec.seconds = seconds;
    spec.videoBytesPerSecond = kVideoBytesPerSecond;
    spec.packsPerFile = kPacksPerFile;
    spec.audio = {{kes::test::VobAudioKind::Ac3, 0x80, 2, 48000, 16, 448000, 440.0},
                  {kes::test::VobAudioKind::Ac3, 0x81, 2, 48000, 16, 192000, 550.0}};
    fs::create_directories(dir);
    const auto set = kes::test::writeVobSet(dir, spec);
    const fs::path whole = dir / "set.vob";
    {
        std::ofstream out(whole, std::ios::binary);
        out.write(reinterpret_cast<const char*>(set.bytes.data()),
                  static_cast<std::streamsize>(set.bytes.size()));
        if (!out.flush())
            fail("cannot write " + whole.string());
    }
    std::printf("set: %zu files, %.1f MiB\n", set.files.size(),
                static_cast<double>(set.bytes.size()) / (1 << 20));
    auto files = set.files;
    files.push_back(whole);
    warmCache(files);

    const fs::path tonegrabWav = dir / "tonegrab.wav";
    const fs::path graphWav = dir / "graph.wav";
    const fs::path ffmpegWav = dir / "ffmpeg.wav";
    const fs::path externDir = KES_BENCH_EXTERN_DIR;
    const fs::path here = fs::current_path();
    Times best;
    for (int run = 0; run < runs; ++run) {
        fs::remove(tonegrabWav);
        fs::current_path(externDir);
        auto start = std::chrono::steady_clock::now();
        const bool tonegrabRan = runProgram({(externDir / "Tonegrab.exe").string(), set.files[0].string(),
                                             tonegrabWav.string(), "0", "48", "X"});
        best.tonegrab = std::min(best.tonegrab, secondsSince(start));
        fs::current_path(here);
        if (!tonegrabRan)
            fail("Tonegrab.exe failed");
        start = std::chrono::steady_clock::now();
        extractThroughGraph(set.list, graphWav);
        best.graph = std::min(best.graph, secondsSince(start));
        start = std::chrono::steady_clock::now();
        if (!runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i", whole.string(), "-map",
                         "0:a:0", ffmpegWav.string()}))
            fail("ffmpeg failed");
        best.ffmpeg = std::min(best.ffmpeg, secondsSince(start));
    }
    std::printf("WAV data: Tonegrab %llu bytes, graph %llu bytes, ffmpeg %llu bytes\n",
                static_cast<unsigned long long>(dataBytes(tonegrabWav)),
                static_cast<unsigned long long>(dataBytes(graphWav)),
                static_cast<unsigned long long>(dataBytes(ffmpegWav)));
    std::printf("%.0f s title: Tonegrab.exe %.3f s, graph %.3f s, ffmpeg %.3f s; Tonegrab takes %.2f times "
                "ffmpeg's time (speed ratio %.2f), the graph %.2f times\n",
                seconds, best.tonegrab, best.graph, best.ffmpeg, best.tonegrab / best.ffmpeg,
                best.ffmpeg / best.tonegrab, best.graph / best.ffmpeg);
    return best;
}

} // namespace

int main(int argc, char** argv) {
    fs::path dir = fs::temp_directory_path() / "kes-bench-dshow";
    int runs = 1;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else
            fail("usage: bench_dshow_extract [--dir FOLDER] [--runs N] [--keep]");
    }
    dir = fs::absolute(dir);
    fs::create_directories(dir);
    // Registrations go to a registry of the bench's own, never the user's; Tonegrab needs no display.
    setenv("KESTROVA_REGISTRY", (dir / "registry").c_str(), 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    loadModules();

    const Times shortTitle = timeExtraction(dir / "short", kShortSeconds, runs);
    const Times longTitle = timeExtraction(dir / "long", kLongSeconds, runs);
    const double ratio = longTitle.ffmpeg / longTitle.tonegrab;
    std::printf(
        "Tonegrab.exe against ffmpeg: %.2f times its time on the 10-minute title (speed %.2f, goal at "
        "least %.1f), %.2f times on the 20-second title\n",
        longTitle.tonegrab / longTitle.ffmpeg, ratio, kGoal, shortTitle.tonegrab / shortTitle.ffmpeg);
    if (!keep)
        fs::remove_all(dir);
    return ratio >= kGoal ? 0 : 2;
}
