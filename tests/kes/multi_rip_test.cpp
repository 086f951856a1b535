// The multi-rip list of the extras page: adding, moving and removing entries, arming the launch
// button, and the unattended run of every entry with a fake decoder: no box, the log and the WAV
// deletion forced on, the shutdown only after the last entry, and failing entries that do not stop
// the list.
#include "rip_audio_support.h"

#include "platform/core/clock.h"
#include "platform/core/process.h"

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

namespace kes {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

// The decoder's fake writes the WAV it is given.
constexpr const char* Decodes = "writelast RIFF\n";

class MultiRipTest : public test::RipAudioFixture {
protected:
    // Each test's shutdown requests go to a recorder log of its own: a detached request of the test
    // before may arrive late, and must not count here.
    void SetUp() override {
        test::RipAudioFixture::SetUp();
        if (const char* log = std::getenv("KES_RECORDER_LOG"))
            savedRecorderLog_ = log;
        setenv("KES_RECORDER_LOG", (folder.path() / "recorder.log").c_str(), 1);
    }
    void TearDown() override {
        if (savedRecorderLog_)
            setenv("KES_RECORDER_LOG", savedRecorderLog_->c_str(), 1);
        else
            unsetenv("KES_RECORDER_LOG");
        test::RipAudioFixture::TearDown();
    }

    fs::path profiles() const { return folder.path() / "Profiles"; }

    // A profile that rips only the audio of the fixture's VOB run through the AC3 decoder, into its
    // own WAV file, and asks for no log, no WAV deletion but a shutdown (all three are overridden).
    void audioProfile(const std::string& name, const std::string& title, const std::string& vob,
                      const std::string& extra = {}) {
        writeBytes(profiles() / name, "[Options]\r\nProfileTitle=" + title + "\r\nvobpath=" + vob +
                                          "\r\nWavPath=" + folder1 + title +
                                          ".wav\r\nRipVid=0\r\nRipAud=1\r\n"
                                          "UseAC3Dec=1\r\nCompressAudio=0\r\nDelWav=0\r\nNormalize=0\r\n"
                                          "Merge=0\r\nlog=0\r\nSDown=1\r\nSub=0\r\nSubstream=0x8" +
                                          std::to_string(substreamOf(title)) + "\r\n" + extra);
    }
    // Each title decodes a stream of its own, so that a stream left from the previous entry shows.
    static int substreamOf(const std::string& title) { return title.empty() ? 0 : (title[0] - 'A') % 8; }
    // The entries' decoder runs: the WAV and the sub-stream each was given.
    Lines decodedStreams() const {
        Lines streams;
        for (const std::string& line : runs("ac3dec.exe")) {
            const size_t at = line.find("[-substream] [");
            streams.push_back(at == std::string::npos ? std::string() : line.substr(at + 14, 4));
        }
        return streams;
    }
    // The log of what the list could not rip, empty when there is none.
    std::string notRippedLog() const {
        for (const auto& entry : fs::directory_iterator(folder.path() / "Logs"))
            if (entry.path().filename().string().starts_with("Multi-rip_D"))
                return readBytes(entry.path());
        return {};
    }
    void add(const std::string& entry) {
        const int index = form->memo1.indexOf(entry);
        ASSERT_GE(index, 0) << entry;
        form->memo1.setItemIndexSilent(index);
        form->addtomultiClick();
    }
    void arm() {
        form->usemulti.setChecked(true);
        ASSERT_TRUE(form->LaunchMulti.enabled());
    }
    std::vector<std::string> decodedWavs() const {
        std::vector<std::string> wavs;
        for (const std::string& line : runs("ac3dec.exe"))
            wavs.push_back(line.substr(line.rfind(" [") + 2, line.size() - line.rfind(" [") - 3));
        return wavs;
    }
    size_t logCount() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path() / "Logs"))
            ++n;
        return n;
    }
    static size_t countIn(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    static size_t shutdownsIn(const std::string& text) { return countIn(text, "[shutdown]"); }
    static std::string recorderLog() {
        const char* log = std::getenv("KES_RECORDER_LOG");
        return log && fs::exists(log) ? readBytes(log) : std::string();
    }
    // The shutdowns requested since `before`, once the requests have had time to arrive.
    static size_t shutdownsSince(const std::string& before, size_t expected) {
        for (int i = 0; i < 100 && shutdownsIn(recorderLog()) - shutdownsIn(before) < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // room for one request too many
        return shutdownsIn(recorderLog()) - shutdownsIn(before);
    }

private:
    std::optional<std::string> savedRecorderLog_;
};

TEST_F(MultiRipTest, EntriesAreAddedMovedAndRemoved) {
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", vob1);
    form->GetAllProfiles();
    EXPECT_FALSE(form->usemulti.enabled());
    add("A (a.pfl)");
    add("B (b.pfl)");
    add("A (a.pfl)"); // duplicates are allowed
    EXPECT_TRUE(form->usemulti.enabled());
    const auto items = [&] { return form->memo2.items(); };
    EXPECT_EQ(items(), (std::vector<std::string>{"A (a.pfl)", "B (b.pfl)", "A (a.pfl)"}));

    // Nothing selected: the arrows do nothing.
    form->SpeedButton2Click();
    form->SpeedButton3Click();
    EXPECT_EQ(items(), (std::vector<std::string>{"A (a.pfl)", "B (b.pfl)", "A (a.pfl)"}));

    form->memo2.setItemIndexSilent(1);
    form->SpeedButton2Click();
    EXPECT_EQ(items(), (std::vector<std::string>{"B (b.pfl)", "A (a.pfl)", "A (a.pfl)"}));
    EXPECT_EQ(form->memo2.itemIndex(), 0);
    form->SpeedButton2Click(); // already first
    EXPECT_EQ(form->memo2.itemIndex(), 0);
    form->SpeedButton3Click();
    form->SpeedButton3Click();
    EXPECT_EQ(items(), (std::vector<std::string>{"A (a.pfl)", "A (a.pfl)", "B (b.pfl)"}));
    EXPECT_EQ(form->memo2.itemIndex(), 2);
    form->SpeedButton3Click(); // already last
    EXPECT_EQ(form->memo2.itemIndex(), 2);

    arm();
    form->eraseClick();
    EXPECT_EQ(items(), (std::vector<std::string>{"A (a.pfl)", "A (a.pfl)"}));
    EXPECT_EQ(form->memo2.itemIndex(), 1);
    form->memo2.setItemIndexSilent(0);
    form->eraseClick();
    EXPECT_EQ(form->memo2.itemIndex(), 0);
    EXPECT_TRUE(form->LaunchMulti.enabled());
    form->eraseClick();
    EXPECT_EQ(form->memo2.itemCount(), 0);
    EXPECT_FALSE(form->LaunchMulti.enabled());
    EXPECT_FALSE(form->usemulti.checked());
    EXPECT_FALSE(form->usemulti.enabled());
    EXPECT_TRUE(shown().empty()); // moving and removing loaded no profile and asked nothing
}

TEST_F(MultiRipTest, UseThatListNeedsEntries) {
    form->usemulti.setEnabled(true);
    form->usemulti.setChecked(true);
    EXPECT_EQ(shown(), Lines{"error: <54>"});
    EXPECT_FALSE(form->usemulti.checked());
    EXPECT_FALSE(form->LaunchMulti.enabled());

    audioProfile("a.pfl", "A", vob1);
    form->GetAllProfiles();
    add("A (a.pfl)");
    arm();
    form->usemulti.setChecked(false);
    EXPECT_FALSE(form->LaunchMulti.enabled());
}

TEST_F(MultiRipTest, EveryEntryRipsUnattendedAndOnlyTheLastShutsDown) {
    fake("ac3dec.exe", Decodes);
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", vob1);
    audioProfile("c.pfl", "C", vob1);
    form->GetAllProfiles();
    add("C (c.pfl)");
    add("A (a.pfl)");
    add("B (b.pfl)");
    arm();
    clearLogs();
    const std::string before = recorderLog();
    form->LaunchMultiClick();

    EXPECT_TRUE(script.shown().empty());
    EXPECT_EQ(decodedWavs(), (Lines{folder1 + "C.wav", folder1 + "A.wav", folder1 + "B.wav"}));
    EXPECT_EQ(decodedStreams(), (Lines{"0x82", "0x80", "0x81"}));
    EXPECT_EQ(logCount(), 3u); // the profiles ask for none
    EXPECT_TRUE(form->DelWav.checked());
    EXPECT_TRUE(form->Shut.checked());
    EXPECT_EQ(form->ProfileEdit.text(), "B");
    EXPECT_EQ(shutdownsSince(before, 1), 1u); // the profiles ask for one each
    EXPECT_TRUE(form->LaunchMulti.enabled());
}

TEST_F(MultiRipTest, OneEntryShutsDownAfterItsRip) {
    fake("ac3dec.exe", Decodes);
    audioProfile("a.pfl", "A", vob1);
    form->GetAllProfiles();
    add("A (a.pfl)");
    arm();
    const std::string before = recorderLog();
    form->LaunchMultiClick();
    EXPECT_EQ(decodedWavs().size(), 1u);
    EXPECT_EQ(shutdownsSince(before, 1), 1u);
}

TEST_F(MultiRipTest, FailingEntriesDoNotStopTheList) {
    fake("ac3dec.exe", Decodes);
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", at("missing/VTS_01_1.VOB")); // its checks end it
    audioProfile("c.pfl", "C", vob1);                       // removed after listing
    audioProfile("d.pfl", "D", vob1);
    form->GetAllProfiles();
    for (const char* entry : {"A (a.pfl)", "B (b.pfl)", "C (c.pfl)", "D (d.pfl)"})
        add(entry);
    fs::remove(profiles() / "c.pfl");
    arm();
    const std::string before = recorderLog();
    form->LaunchMultiClick();

    EXPECT_EQ(decodedWavs(), (Lines{folder1 + "A.wav", folder1 + "D.wav"}));
    EXPECT_EQ(logCount(), 3u); // two rips and the list's own
    EXPECT_EQ(shutdownsSince(before, 1), 1u);
    // The entries that were not ripped are named in the list's log with their reasons (the one whose
    // checks ended it, the one that could not be loaded); nothing waits in a box.
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(notRippedLog(), "These entries of the multi-rip list were not ripped :\r\n"
                              "B (b.pfl) : <20>\r\nB (b.pfl) : <20>\r\n"
                              "C (c.pfl) : Cannot open file \"" +
                                  (profiles() / "c.pfl").string() + "\"")
        << notRippedLog();
}

TEST_F(MultiRipTest, EntryWhoseListCannotBeWrittenIsNotRipped) {
    fake("ac3dec.exe", Decodes);
    const std::string other = make("other dvd/VTS_02_1.VOB", "vob");
    // The second title's folder refuses a new list: a folder stands where it would go.
    fs::create_directories(at("other dvd/vob.lst"));
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", other);
    audioProfile("c.pfl", "C", vob1);
    form->GetAllProfiles();
    for (const char* entry : {"A (a.pfl)", "B (b.pfl)", "C (c.pfl)"})
        add(entry);
    arm();
    form->LaunchMultiClick();
    EXPECT_EQ(decodedWavs(), (Lines{folder1 + "A.wav", folder1 + "C.wav"}));
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(notRippedLog(),
              "These entries of the multi-rip list were not ripped :\r\nB (b.pfl) : Can't write " +
                  at("other dvd/vob.lst") + " !");
}

TEST_F(MultiRipTest, EveryEntryWritesItsOwnListAndStartsItsOwnClock) {
    fake("ac3dec.exe", std::string("sleep 1100\n") + Decodes);
    const std::string other = make("other dvd/VTS_02_1.VOB", "vob");
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", other);
    form->GetAllProfiles();
    add("A (a.pfl)");
    add("B (b.pfl)");
    arm();
    fs::remove(at("my dvd/vob.lst"));
    const platform::core::DateTime before = platform::core::now();
    form->LaunchMultiClick();
    EXPECT_EQ(readBytes(at("my dvd/vob.lst")), vob1 + "\r\n" + vob2 + "\r\n");
    EXPECT_EQ(readBytes(at("other dvd/vob.lst")), other + "\r\n");
    // The last entry's rip started after the first one's decoder had run, not when the list began.
    constexpr double SecondsPerDay = 86400;
    EXPECT_GE((RipRecord.RipStart - before) * SecondsPerDay, 1.0);
}

TEST_F(MultiRipTest, ListEndsWithTheShutdownWhenItsLastEntryIsSkipped) {
    fake("ac3dec.exe", Decodes);
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", at("missing/VTS_01_1.VOB")); // its checks end it
    form->GetAllProfiles();
    add("A (a.pfl)");
    add("B (b.pfl)");
    arm();
    // A shutdown of its own, so that a late one of an earlier test is not counted.
    const std::string recorder = platform::core::shutdownCommand();
    setenv("KESTROVA_SHUTDOWN_COMMAND", (recorder.substr(0, recorder.rfind(' ')) + " skipped-last").c_str(),
           1);
    form->LaunchMultiClick();
    setenv("KESTROVA_SHUTDOWN_COMMAND", recorder.c_str(), 1);
    EXPECT_EQ(decodedWavs(), Lines{folder1 + "A.wav"});
    EXPECT_TRUE(shown().empty());
    size_t requests = 0;
    for (int i = 0; i < 100 && requests == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        requests = countIn(recorderLog(), "[skipped-last]");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // room for one request too many
    EXPECT_EQ(countIn(recorderLog(), "[skipped-last]"), 1u);
}

TEST_F(MultiRipTest, StartersFollowTheLastProfileAfterTheList) {
    fake("ac3dec.exe", Decodes);
    form->twostreams.setChecked(false);
    ASSERT_FALSE(form->Audio2Play.enabled());
    audioProfile("a.pfl", "A", vob1, "2Streams=1\r\nWav2Path=" + folder2 + "A2.wav\r\n");
    form->GetAllProfiles();
    add("A (a.pfl)");
    arm();
    form->LaunchMultiClick();
    ASSERT_TRUE(form->twostreams.checked());
    EXPECT_TRUE(form->Audio2Play.enabled());
    EXPECT_TRUE(form->arip.enabled());
}

TEST_F(MultiRipTest, EntryNoLongerListedIsSkipped) {
    fake("ac3dec.exe", Decodes);
    audioProfile("a.pfl", "A", vob1);
    audioProfile("b.pfl", "B", vob1);
    form->GetAllProfiles();
    add("A (a.pfl)");
    add("B (b.pfl)");
    fs::remove(profiles() / "a.pfl");
    form->GetAllProfiles();
    arm();
    form->LaunchMultiClick();
    EXPECT_EQ(decodedWavs(), Lines{folder1 + "B.wav"});
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(notRippedLog(), "These entries of the multi-rip list were not ripped :\r\n"
                              "A (a.pfl) : not in the profile list any more");
}

// Entries that fail in each tool of the audio steps: the decoder, the amplifier and the audio
// converter. Nothing waits in a box, each entry's reason is in the list's log under its name, the good
// entry is ripped, and the machine is switched off once, at the end.
TEST_F(MultiRipTest, EntriesFailingInEachToolAreLoggedAndNothingWaits) {
    fake("ac3dec.exe", "exit 1\n");
    folder.copyFromBuild("extern/LAME_ENC.DLL");
    const auto toolProfile = [&](const std::string& name, const std::string& title, bool normalise,
                                 bool compress, const std::string& wav) {
        writeBytes(profiles() / name,
                   "[Options]\r\nProfileTitle=" + title + "\r\nvobpath=" + vob1 + "\r\nWavPath=" + wav +
                       "\r\nRipVid=0\r\nRipAud=0\r\nUseAC3Dec=1\r\n" + "CompressAudio=" +
                       (compress ? "1" : "0") + "\r\nDelWav=0\r\n" + "Normalize=" + (normalise ? "1" : "0") +
                       "\r\nMerge=0\r\nlog=0\r\nSDown=1\r\nSub=0\r\n");
    };
    audioProfile("d.pfl", "D", vob1);
    const std::string noWav = make("my wavs/no.wav", "not a WAV file at all, nor anything else");
    toolProfile("n.pfl", "N", true, false, noWav);
    toolProfile("m.pfl", "M", false, true, noWav);
    toolProfile("g.pfl", "G", true, false, make("my wavs/good.wav", test::wavBytes(48000, 4800)));
    form->GetAllProfiles();
    for (const char* entry : {"D (d.pfl)", "N (n.pfl)", "M (m.pfl)", "G (g.pfl)"})
        add(entry);
    arm();
    const std::string before = recorderLog();
    form->LaunchMultiClick();

    EXPECT_TRUE(script.shown().empty()) << ::testing::PrintToString(script.shown());
    const std::string log = notRippedLog();
    EXPECT_TRUE(log.starts_with("These entries of the multi-rip list were not ripped :\r\n"
                                "D (d.pfl) : The program ac3dec.exe failed (exit status 1) : " +
                                folder1 + "D.wav can't be used !\r\nN (n.pfl) : "))
        << log;
    for (const char* entry : {"\r\nN (n.pfl) : ", "\r\nM (m.pfl) : "})
        EXPECT_EQ(countIn(log, entry), 1u) << entry << log;
    EXPECT_EQ(countIn(log, "G (g.pfl)"), 0u) << log;
    EXPECT_EQ(logCount(), 2u); // the good rip's and the list's
    EXPECT_EQ(shutdownsSince(before, 1), 1u);
}

} // namespace
} // namespace kes
