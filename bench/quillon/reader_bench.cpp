// Throughput of MultipleFileInputer against cat over the same four files, page cache warm.
//
//   bench_quillon_reader [--dir FOLDER] [--size BYTES] [--block BYTES] [--runs N] [--keep]
//
// Writes four files of size/4 bytes each (2 GiB in all by default) into FOLDER (a new folder under
// the temporary folder by default), reads them once to warm the cache, then times `cat` of the four
// files to /dev/null and a read of the joined stream in blocks of the parser's request size, best of
// N runs each. Prints both rates and their ratio; the goal is a ratio of at least 0.95.

#include "quillon/file_list.h"
#include "quillon/multiple_file_inputer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kFileCount = 4;
constexpr int64_t kDefaultSize = int64_t{2} << 30;
constexpr int64_t kDefaultBlock = 64 * 1024;
constexpr int kDefaultRuns = 3;
constexpr size_t kWriteChunk = 1 << 20;
constexpr double kGoal = 0.95;
constexpr double kMiB = 1024.0 * 1024.0;

class StderrSink final : public quillon::MessageSink {
public:
    void warning(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    bool question(const std::string&, const std::string&) override { return true; }
};

struct Options {
    std::filesystem::path dir;
    int64_t size = kDefaultSize;
    int64_t block = kDefaultBlock;
    int runs = kDefaultRuns;
    bool keep = false;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--dir" && hasValue)
            o.dir = argv[++i];
        else if (arg == "--size" && hasValue)
            o.size = std::strtoll(argv[++i], nullptr, 10);
        else if (arg == "--block" && hasValue)
            o.block = std::strtoll(argv[++i], nullptr, 10);
        else if (arg == "--runs" && hasValue)
            o.runs = std::atoi(argv[++i]);
        else if (arg == "--keep")
            o.keep = true;
        else
            return false;
    }
    return o.size >= kFileCount && o.block > 0 && o.runs > 0;
}

bool writeFile(const std::filesystem::path& path, int64_t size) {
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == static_cast<uintmax_t>(size) && !ec)
        return true;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::vector<char> chunk(kWriteChunk);
    for (size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 131 % 251);
    bool ok = true;
    for (int64_t left = size; ok && left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(chunk.size())));
        ok = std::fwrite(chunk.data(), 1, n, f) == n;
        left -= static_cast<int64_t>(n);
    }
    return std::fclose(f) == 0 && ok;
}

// Seconds of one `cat files > /dev/null`, or a negative value when it failed.
double timeCat(const std::vector<std::string>& files) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args{const_cast<char*>("cat")};
    for (const std::string& f : files)
        args.push_back(const_cast<char*>(f.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "cat", &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds of reading the whole joined stream, or a negative value when it came back short.
double timeReader(const std::string& listPath, int64_t block) {
    StderrSink sink;
    quillon::FileList list(sink);
    quillon::MultipleFileInputer reader(sink);
    std::vector<char> buffer(static_cast<size_t>(block));
    const auto start = std::chrono::steady_clock::now();
    list.load(listPath);
    reader.open(list);
    if (!reader.isOpen())
        return -1;
    for (int64_t position = 0; position < reader.total();) {
        const int64_t n = std::min(block, reader.total() - position);
        reader.seek(position);
        if (reader.readBlock(buffer.data(), n) != n)
            return -1;
        position += n;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: %s [--dir FOLDER] [--size BYTES] [--block BYTES] [--runs N] [--keep]\n",
                     argv[0]);
        return 2;
    }
    const bool madeDir = o.dir.empty();
    if (madeDir)
        o.dir = std::filesystem::temp_directory_path() / ("kes-bench-quillon-" + std::to_string(getpid()));
    std::error_code ec;
    std::filesystem::create_directories(o.dir, ec);
    std::vector<std::string> files;
    std::string listText;
    const int64_t each = o.size / kFileCount;
    for (int i = 1; i <= kFileCount; ++i) {
        const auto path = o.dir / ("VTS_01_" + std::to_string(i) + ".VOB");
        if (!writeFile(path, each)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        files.push_back(path.string());
        listText += path.string() + "\r\n";
    }
    const std::string listPath = (o.dir / "vob.lst").string();
    if (FILE* f = std::fopen(listPath.c_str(), "wb");
        !f || std::fwrite(listText.data(), 1, listText.size(), f) != listText.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", listPath.c_str());
        return 1;
    }

    if (timeCat(files) < 0) { // warms the page cache
        std::fprintf(stderr, "cat failed\n");
        return 1;
    }
    double bestCat = 1e30;
    double bestReader = 1e30;
    for (int run = 0; run < o.runs; ++run) {
        const double c = timeCat(files);
        const double r = timeReader(listPath, o.block);
        if (c < 0 || r < 0) {
            std::fprintf(stderr, "a timed read failed\n");
            return 1;
        }
        bestCat = std::min(bestCat, c);
        bestReader = std::min(bestReader, r);
    }
    const double bytes = static_cast<double>(each * kFileCount);
    const double catRate = bytes / bestCat / kMiB;
    const double readerRate = bytes / bestReader / kMiB;
    const double ratio = readerRate / catRate;
    std::printf("files: %d x %lld bytes, block %lld bytes, best of %d\n", kFileCount,
                static_cast<long long>(each), static_cast<long long>(o.block), o.runs);
    std::printf("cat:                 %8.1f MiB/s\n", catRate);
    std::printf("MultipleFileInputer: %8.1f MiB/s\n", readerRate);
    std::printf("ratio: %.3f (goal %.2f): %s\n", ratio, kGoal, ratio >= kGoal ? "met" : "not met");

    if (madeDir && !o.keep)
        std::filesystem::remove_all(o.dir, ec);
    return 0;
}
