#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/SoundDevices.h"
#include "platform/Sounds.h"
#include "res/Resources.h"
#include "runtime/PSoundPlayer.h"
#include "tests/support/SoundTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A working folder with the shipped key tones in dtmf/, as the program has it.
struct WorkingFolder {
    TempDir dir{true};
    WorkingFolder()
    {
        fs::create_directories(dir / "dtmf");
        for (const auto &e : fs::directory_iterator(SourceResFolder() / "dtmf"))
            fs::copy_file(e.path(), dir / "dtmf" / e.path().filename());
    }
};

int PlayIndexOf(const std::string &name)
{
    const auto names = GetPlayDeviceNames();
    return int(std::find(names.begin(), names.end(), name) - names.begin());
}

// Where in a recording a tone is loudest, in samples.
size_t PeakPosition(const std::vector<int16_t> &s, double frequency)
{
    constexpr size_t kWindow = 400, kHop = 80;
    size_t best = 0;
    double bestAmp = 0;
    for (size_t i = 0; i + kWindow <= s.size(); i += kHop) {
        const double a = ToneAmplitude(std::vector<int16_t>(s.begin() + long(i), s.begin() + long(i + kWindow)), frequency);
        if (a > bestAmp) {
            bestAmp = a;
            best = i;
        }
    }
    return best;
}

} // namespace

TEST(Sounds, KeyToneFilesAndTheDialToneSequence)
{
    EXPECT_EQ(KeyToneFile("10"), "dtmf/key10.wav");
    EXPECT_EQ(KeyToneFile("star"), "dtmf/keystar.wav");
    EXPECT_TRUE(DialToneFiles(0).empty());
    const std::vector<std::string> files = DialToneFiles(23);
    ASSERT_EQ(files.size(), 23u);
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(files[i], "dtmf/key" + std::to_string(i % 10 + 1) + ".wav") << i;
}

TEST(Sounds, KeyToneIsPlayedOnTheChosenDeviceAndReturnsWhenHeard)
{
    REQUIRE_TEST_SERVER();
    WorkingFolder folder;
    BackgroundRecorder mic("mic");
    ASSERT_TRUE(mic.Running());
    EXPECT_TRUE(PlayKeyTone(PlayIndexOf("mic_feed"), "10"));
    const std::vector<int16_t> loud = LoudPart(mic.Stop());
    // The tone of "0": 941 Hz and 1336 Hz, and nothing of its neighbours.
    EXPECT_GT(ToneAmplitude(loud, 941), 0.15);
    EXPECT_GT(ToneAmplitude(loud, 1336), 0.15);
    EXPECT_LT(ToneAmplitude(loud, 852), 0.03);
    EXPECT_LT(ToneAmplitude(loud, 1209), 0.03);

    EXPECT_FALSE(PlayKeyTone(0, "11")); // no such file: nothing
    fs::remove("dtmf/key1.wav");
    EXPECT_FALSE(PlayKeyTone(0, "1"));
}

TEST(Sounds, DialTonesFollowOneAnotherOnOneChannel)
{
    REQUIRE_TEST_SERVER();
    WorkingFolder folder;
    BackgroundRecorder mic("mic");
    ASSERT_TRUE(mic.Running());
    CDialTonePlayer tones;
    EXPECT_EQ(tones.Play(PlayIndexOf("mic_feed"), 3), 3);
    const std::vector<int16_t> rec = mic.Stop();
    // key1, key2, key3: the column tone climbs from one to the next.
    const size_t t1 = PeakPosition(rec, 1209), t2 = PeakPosition(rec, 1336), t3 = PeakPosition(rec, 1477);
    EXPECT_LT(t1, t2);
    EXPECT_LT(t2, t3);
    EXPECT_GT(ToneAmplitude(LoudPart(rec), 697), 0.15);
}

TEST(Sounds, DialTonesStopWhenAsked)
{
    REQUIRE_TEST_SERVER();
    WorkingFolder folder;
    CDialTonePlayer tones;
    int played = -1;
    std::thread t([&] { played = tones.Play(0, 50); }); // 50 tones: nine seconds
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    tones.Stop();
    t.join();
    EXPECT_GE(played, 0);
    EXPECT_LT(played, 50);
    EXPECT_EQ(tones.Play(0, 3), 0); // stopped for good
}

TEST(Sounds, ClickAndBeepPlayInTheBackground)
{
    REQUIRE_TEST_SERVER();
    ASSERT_FALSE(LoadSoundResource(kClickSound).isEmpty());
    BackgroundRecorder monitor("speaker.monitor");
    ASSERT_TRUE(monitor.Running());
    PSoundPlayer &player = PSoundPlayer::Instance();
    const unsigned before = player.GetPlayedCount();
    EXPECT_TRUE(PlayClick("speaker"));
    EXPECT_TRUE(Beep(600, 100, "speaker"));
    ASSERT_TRUE(player.WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(player.GetPlayedCount(), before + 2);
    const std::vector<int16_t> loud = LoudPart(monitor.Stop(), 300);
    EXPECT_GT(ToneAmplitude(loud, 600), 0.05);
    EXPECT_GT(ToneAmplitude(loud, 2000), 0.005);

    EXPECT_FALSE(PlaySoundResourceAsync(9999)); // no such resource: no sound in its place
    EXPECT_FALSE(Beep(0, 100));
    EXPECT_FALSE(Beep(600, 0));
    EXPECT_FALSE(Beep(5000, 100)); // above what 8000 samples/s carry
}

TEST(Sounds, NoServerMeansNoSoundAndNoWait)
{
    NoServer none;
    WorkingFolder folder;
    EXPECT_FALSE(PlayKeyTone(0, "5"));
    CDialTonePlayer tones;
    EXPECT_EQ(tones.Play(0, 12), 0);
    const unsigned before = PSoundPlayer::Instance().GetPlayedCount();
    EXPECT_TRUE(PlayClick());
    EXPECT_TRUE(Beep(600, 100));
    ASSERT_TRUE(PSoundPlayer::Instance().WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(PSoundPlayer::Instance().GetPlayedCount(), before);
}
