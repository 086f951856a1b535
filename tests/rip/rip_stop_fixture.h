#pragma once

// A whole rip stopped by the user in each of its steps: the console of an outside program closed, or
// the Stop button of a tool window pressed. The rip ends there, leaves no half-written file, and keeps
// what the user had: the previous movie of the same name, the profile and the window's settings.

#include "tests/rip/rip_road.h"

#include "kes/form1_unit.h"

#include "platform/ui/console_window.h"

#include <QTimer>
#include <QWidget>

namespace kes::test {

namespace fs = std::filesystem;

constexpr const char* UsersMovie = "the user's own movie";

class StopRoadTest : public RipRoadTest {
protected:
    void SetUp() override {
        fillMissingHelpers();
        DvdTitleSpec spec;
        spec.video = true;
        makeTitle(spec);
        out = at("out/");
        start();
        saveProfile("Stopped", "stopped.pfl", [&](TForm1& f) {
            chooseOneCdRip(f);
            f.ifofile.setText(title.ifoPath.string());
            for (int i = 0; i < f.IFOlngList.itemCount(); ++i)
                f.IFOlngList.setSelected(i, true);
            f.SpeedButton5Click();
            f.extractsub.setChecked(true);
        });
        profile = readBytes(folder.path() / "Profiles" / "stopped.pfl");
        loadProfile("Stopped");
        final = form->FinalFile.text();
        writeBytes(final, UsersMovie);
        settings = settingsNow();
    }

    // The window's settings as a profile written now.
    std::string settingsNow() {
        const std::string keep = form->SaveDialog1.fileName;
        const std::string file = at("settings.pfl");
        form->SaveDialog1.fileName = file;
        form->CreateProfile(false);
        form->SaveDialog1.fileName = keep;
        return readBytes(file);
    }

    // Launches the rip; at every pump of the window, stop() is asked whether the step to stop is
    // running and, the first time it says so, has stopped it.
    void launchAndStop(const std::function<bool()>& stop) {
        bool done = false;
        QTimer timer;
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (!done && stop())
                done = true;
        });
        timer.start();
        launch();
        timer.stop();
        EXPECT_TRUE(done) << "the step was not met";
    }
    // The console of the outside program whose command line holds `program`, closed as the user
    // closes it.
    static bool closeConsoleOf(const std::string& program) {
        for (platform::ui::ConsoleWindow* console : platform::ui::ConsoleWindow::open()) {
            if (console->caption().find(program) != std::string::npos) {
                console->widget()->close();
                return true;
            }
        }
        return false;
    }

    // The program of that name in extern/ runs from real/ behind a small script that can change one
    // of its runs: the run numbered `run` (counted over every program wrapped with the same counter)
    // first waits as on a slow disc, or gets a dialog script, before it starts. The real program sees
    // the extern folder as its own for the codec dialog's channel.
    void wrap(const std::vector<std::string>& programs, int run, const std::string& before) {
        fs::create_directories(folder.path() / "real");
        for (const std::string& program : programs) {
            const fs::path path = folder.externDir() / program;
            fs::rename(path, folder.path() / "real" / program);
            writeBytes(path, "#!/bin/sh\n"
                             "dir=$(dirname \"$0\")\n"
                             "n=$(( $(cat \"$dir/wrapped.runs\" 2>/dev/null || echo 0) + 1 ))\n"
                             "echo $n > \"$dir/wrapped.runs\"\n"
                             "if [ $n = " +
                                 std::to_string(run) + " ]; then " + before +
                                 "; fi\n"
                                 "export KESTROVA_CODEC_CHANNEL=\"$dir\"\n"
                                 "exec \"$dir/../real/$(basename \"$0\")\" \"$@\"\n");
            fs::permissions(path, fs::perms::owner_all);
        }
    }
    // The run waits for the user, who closes its console.
    void slowRun(const std::string& program, int run = 1) {
        wrap({program}, run, "touch \"$dir/waiting\"; sleep 20");
    }
    // Closes the console of the slow run once it waits (it has counted itself).
    bool closeSlowRun(const std::string& program) const {
        return fs::exists(folder.externDir() / "waiting") && closeConsoleOf(program);
    }
    // The converter's run in which the user presses Stop in its progress window (its codec dialog is
    // left to the automation).
    void stoppedConverterRun(int run) {
        const fs::path answers = folder.externDir() / "converter.script";
        platform::ui::testing::writeScriptFile(answers.string(), {"", "Stop"});
        wrap({"mpeg2avipx3.exe", "m2apx3g.exe", "m2apx3go.exe"}, run,
             "export " + std::string(platform::ui::testing::ScriptEnv) + "=\"$dir/converter.script\"");
    }

    // What stays after any stop: no report, nothing of the final movie but the user's own, the profile
    // and the settings as they were, no temporary file anywhere under the output folder.
    void expectNothingLost(bool muxed = false) {
        EXPECT_EQ(reports(), Lines{});
        if (!muxed) {
            EXPECT_TRUE(readBytes(final) == UsersMovie) << "the previous movie was replaced";
        }
        EXPECT_EQ(readBytes(folder.path() / "Profiles" / "stopped.pfl"), profile);
        EXPECT_EQ(settingsNow(), settings);
        for (const std::string& file : filesUnder(out))
            EXPECT_TRUE(file.ends_with(".avi") || file.ends_with(".wav") || file.ends_with(".ac3") ||
                        file.ends_with(".log"))
                << file;
    }

    std::string out;
    std::string final;
    std::string profile;
    std::string settings;
};

} // namespace kes::test
