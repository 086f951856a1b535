#include "tests/outside/mpeg2avi/converter_run.h"

#include "platform/ui/dialog_script.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace kes::test {

namespace fs = std::filesystem;

ConverterFolder::ConverterFolder() {
    for (const char* name :
         {"mpeg2avipx3.exe", "m2apx3g.exe", "m2apx3go.exe", "mpeg2aviSVE.exe", "mpeg2v12.exe"}) {
        folder_.copyFromBuild(std::string("extern/") + name);
        fs::permissions(folder_.externDir() / name, fs::perms::owner_all, fs::perm_options::add);
    }
    for (const char* driver : {"divx.dll", "divxc32.dll", "divxc32f.dll"})
        if (fs::exists(builtProgramDir() / "system" / driver))
            folder_.copyFromBuild(std::string("system/") + driver);
    for (const char* helper : {"divxauto.exe", "delayer.exe"})
        if (fs::exists(builtProgramDir() / "extern" / helper)) {
            folder_.copyFromBuild(std::string("extern/") + helper);
            fs::permissions(folder_.externDir() / helper, fs::perms::owner_all, fs::perm_options::add);
        }
    fs::create_directories(outputDir());
}

ConverterFolder::Result ConverterFolder::run(const std::string& program,
                                             const std::vector<std::string>& items,
                                             const std::vector<std::string>& dialogScript,
                                             bool withScript) const {
    return wait(start(program, items, dialogScript, withScript));
}

ConverterFolder::Started ConverterFolder::start(const std::string& program,
                                                const std::vector<std::string>& items,
                                                const std::vector<std::string>& dialogScript,
                                                bool withScript) const {
    const std::string run = std::to_string(++runs_);
    const fs::path script = folder_.path() / ("dialog" + run + ".script");
    const fs::path errors = folder_.path() / ("stderr" + run + ".txt");
    platform::ui::testing::writeScriptFile(script.string(), dialogScript);
    std::vector<std::string> args{(externDir() / program).string()};
    args.insert(args.end(), items.begin(), items.end());
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(externDir().c_str()) != 0)
            _exit(126);
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDERR_FILENO);
        if (withScript)
            setenv(platform::ui::testing::ScriptEnv, script.c_str(), 1);
        else {
            // Nobody at all: no script and no display.
            unsetenv(platform::ui::testing::ScriptEnv);
            unsetenv("QT_QPA_PLATFORM");
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        unsetenv(platform::ui::testing::LogEnv);
        setenv("KESTROVA_CODEC_TIMEOUT", "15000", 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return {pid, errors};
}

ConverterFolder::Result ConverterFolder::wait(const Started& started) {
    Result result;
    int status = 0;
    waitpid(started.pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(started.errors);
    std::stringstream text;
    text << in.rdbuf();
    result.errors = text.str();
    return result;
}

std::vector<std::string> ConverterFolder::movies() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(outputDir())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("movie"))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string divx4Answer(int kbps, int keyFrames, const std::string& mode, const std::string& log) {
    std::string line =
        "WI00:ICCompressorChoose \"CB00:DivX Codec 4.\" BT04: WI01: ED00:" + std::to_string(kbps) +
        " ED06:" + std::to_string(keyFrames) + " \"CB01:" + mode + "\" ";
    if (!log.empty())
        line += " \"ED07:" + log + "\" ";
    return line + "BT00: WI00: BT02: QU00:";
}

} // namespace kes::test

namespace kes::test {

std::string divx3Answer(bool lowMotion, int keySeconds, int crispness, int kbps) {
    return std::string("WI00:ICCompressorChoose \"CB00:DivX ;-) MPEG-4 ") + (lowMotion ? "Low" : "Fast") +
           "-Motion\" BT04: WI01: ED00:" + std::to_string(keySeconds) + " SB00:" + std::to_string(crispness) +
           " SB01:" + std::to_string(kbps) + " BT05: WI00: BT02: QU00:";
}

std::vector<std::string> automationItems(const std::string& answer) {
    std::vector<std::string> items;
    std::string item;
    bool quoted = false, any = false;
    for (const char c : answer) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any)
                items.push_back(item);
            item.clear();
            any = false;
        } else {
            item += c;
            any = true;
        }
    }
    if (any)
        items.push_back(item);
    return items;
}

} // namespace kes::test
