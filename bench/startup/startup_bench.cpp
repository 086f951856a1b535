// Start-up of the main program: from the start of the process to the first paint of the main window.
//
//   bench_startup [program folder] [runs]
//
// Runs itself as a child in the program folder (build/program by default) the given number of times
// (7 by default), each child building the main window as the program does and ending at its first
// paint. Reports, per phase, the median over the runs in seconds and as a ratio of the 0.3 s budget.
// Run it under Xvfb (xvfb-run -a bench_startup) or with QT_QPA_PLATFORM=offscreen.
#include "kes/form1.h"

#include "platform/core/process.h"
#include "platform/ui/application.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double BudgetSeconds = 0.3;
constexpr int DefaultRuns = 7;
constexpr const char* ChildFlag = "--child";

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Ends the event loop at the main window's first paint and notes when it came.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(Clock::time_point start) : start_(start) {}
    double at = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && at < 0) {
            at = secondsSince(start_);
            QMetaObject::invokeMethod(
                qApp, [] { qApp->quit(); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Clock::time_point start_;
};

// The child: the program block of the main program, timed. Prints "phase seconds" lines.
int runChild(int argc, char** argv, Clock::time_point start) {
    platform::ui::Application application(argc, argv);
    const double applicationAt = secondsSince(start);
    auto form = std::make_unique<kes::TForm1>();
    const double createdAt = secondsSince(start);
    FirstPaint paint(start);
    form->window()->installEventFilter(&paint);
    for (QWidget* child : form->window()->findChildren<QWidget*>())
        child->installEventFilter(&paint);
    application.run(*form);
    std::printf("application %.4f\ncreated %.4f\npainted %.4f\n", applicationAt, createdAt, paint.at);
    std::fflush(stdout);
    // The rest of the program's life is not timed.
    std::_Exit(0);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const Clock::time_point start = Clock::now();
    if (argc > 1 && std::string(argv[1]) == ChildFlag)
        return runChild(argc, argv, start);

    const std::filesystem::path folder = argc > 1 ? argv[1] : KES_BENCH_PROGRAM_DIR;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : DefaultRuns;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    // A registry of its own, so that the runs see a first start each time and leave nothing behind.
    const std::filesystem::path registry = std::filesystem::temp_directory_path() / "kes-bench-startup.reg";
    setenv("KESTROVA_REGISTRY", registry.c_str(), 1);
    // An empty dialog script answers the first-start box at once, so that a run under a real display
    // (Xvfb) waits for nobody; the box is then not painted and does not end the timing.
    const std::filesystem::path script = std::filesystem::temp_directory_path() / "kes-bench-startup.script";
    if (!std::getenv("KESTROVA_UI_SCRIPT")) {
        std::FILE* empty = std::fopen(script.c_str(), "w");
        if (empty)
            std::fclose(empty);
        setenv("KESTROVA_UI_SCRIPT", script.c_str(), 1);
    }

    std::vector<double> spawned, application, created, painted;
    for (int i = 0; i < runs; ++i) {
        std::filesystem::remove(registry);
        const std::filesystem::path output = std::filesystem::temp_directory_path() / "kes-bench-startup.out";
        const std::string command =
            "sh -c \"exec '" + self.string() + "' " + ChildFlag + " > '" + output.string() + "'\"";
        const Clock::time_point begun = Clock::now();
        auto child = platform::core::startProcess(command, folder.string());
        if (!child || !child->waitFor(60'000)) {
            std::fprintf(stderr, "the child did not run in %s\n", folder.c_str());
            return 1;
        }
        const double total = secondsSince(begun);
        FILE* f = std::fopen(output.c_str(), "r");
        char name[32] = {};
        double value = 0;
        double paintedAt = -1;
        while (f && std::fscanf(f, "%31s %lf", name, &value) == 2) {
            const std::string phase = name;
            if (phase == "application")
                application.push_back(value);
            else if (phase == "created")
                created.push_back(value);
            else if (phase == "painted")
                paintedAt = value;
        }
        if (f)
            std::fclose(f);
        std::filesystem::remove(output);
        painted.push_back(paintedAt);
        spawned.push_back(total);
    }
    std::filesystem::remove(registry);
    std::filesystem::remove(script);
    const auto report = [](const char* what, double seconds) {
        std::printf("%-34s %7.3f s  %5.2f of the budget\n", what, seconds, seconds / BudgetSeconds);
    };
    std::printf("main window start-up, median of %d runs (budget %.1f s)\n", runs, BudgetSeconds);
    report("application object made", median(application));
    report("main window created", median(created));
    report("first paint (from main)", median(painted));
    report("process start to exit after paint", median(spawned));
    return 0;
}
