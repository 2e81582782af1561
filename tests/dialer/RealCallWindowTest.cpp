// The window, set up as at start-up, places, answers and ends real calls through its endpoint,
// against a far end of ours and the test gatekeeper on 127.0.0.1 (both shared by the program).
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/DialogItems.h"
#include "platform/SoundDevices.h"
#include "runtime/PSoundPlayer.h"
#include "settings/CDialerSettings.h"
#include "tests/dialer/CallAudio.h"
#include "tests/dialer/WindowControls.h"
#include "tests/stack/endpoint/RegistrationFixture.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vantro::endpoint::H323Connection;
using vantro::test::TestGatekeeper;
using vantro::test::TestPhone;
using Ras = vantro::asn::h225::RasMessage;

namespace {

const std::string kWindowNumber = "5550100";
const std::string kFarNumber = "5550200";
constexpr double kWindowTone = 440;  // what the window's microphone hears
constexpr double kFarTone = 1000;    // what the far end's microphone hears
// RTP ports below the range the system hands out for its own outgoing connections.
constexpr uint16_t kWindowRtpBase = 23000;
constexpr uint16_t kFarRtpBase = 23400;

class FarEnd : public ::testing::Environment {
 public:
  void SetUp() override {
    gatekeeper = std::make_unique<TestGatekeeper>();
    audio = std::make_unique<CallAudio>(kFarTone);
    phone = std::make_unique<TestPhone>(kFarNumber, kFarTone, kFarRtpBase);
    phone->SetAudioDevices(audio->Devices());
    ASSERT_TRUE(phone->Register(gatekeeper->Address()));
  }
  void TearDown() override {
    phone.reset();
    gatekeeper.reset();
  }

  std::unique_ptr<TestGatekeeper> gatekeeper;
  std::unique_ptr<CallAudio> audio;
  std::unique_ptr<TestPhone> phone;
};

FarEnd* const s_farEnd = static_cast<FarEnd*>(::testing::AddGlobalTestEnvironment(new FarEnd));

class RealCallWindow : public ::testing::Test {
 protected:
  RealCallWindow() : far(*s_farEnd->phone), farAudio(*s_farEnd->audio), gk(*s_farEnd->gatekeeper) {
    EXPECT_TRUE(far.WaitFor([this] { return far.GetAllConnections().empty(); }));
    far.SetAnswerLater(false);
    farIncoming = far.Incoming().size();
    farCleared = far.ClearedCalls().size();
    farInput = far.UserInput().size();
  }
  ~RealCallWindow() override { PSoundPlayer::Instance().WaitIdle(std::chrono::seconds(10)); }

  // The window as the program starts it, on 127.0.0.1 with short timers; unless sound is real, a
  // tone for a microphone and a recording for a loudspeaker. Registered when this returns.
  void StartWindow(bool realSound = false, int playDeviceIndex = 0) {
    CDialerSettings seed;
    seed.SaveSettings(CAccount{kWindowNumber, "SER1", gk.Address(), "", 0}, true, 0, playDeviceIndex, 0);
    CDialerEndPoint& ep = dlg.EndPoint();
    ep.listenerInterfaces = "127.0.0.1:0";
    ep.SetRasTimings(vantro::test::FastTimings());
    ep.SetCallTimings(vantro::test::TestCallTimings());
    ep.SetRtpPortRange(kWindowRtpBase, kWindowRtpBase + 199);
    ep.SetAudioDevices(windowAudio.Devices(!realSound));
    dlg.SetTickSource([this] { return now.load(); });
    WhenModal(nullptr, [](QWidget* signIn) { ClickDlgItem(signIn, 1); });  // the stored account
    ASSERT_TRUE(dlg.OnInitDialog());
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return dlg.EndPoint().IsRegisteredWithGatekeeper() && BalanceLine(dlg) == "Balance= N/A"; }));
  }

  void Place(const std::string& number, bool byEnter = false) {
    statuses.Restart();
    DialAndCall(dlg, number, byEnter);
  }

  // The first call the far end has been offered in this test.
  std::string FarCall() {
    EXPECT_TRUE(far.WaitFor([&] { return far.Incoming().size() > farIncoming; }));
    const auto incoming = far.Incoming();
    return incoming.size() > farIncoming ? incoming[farIncoming] : std::string();
  }
  std::vector<TestPhone::Cleared> FarCleared() const {
    const auto all = far.ClearedCalls();
    return {all.begin() + std::ptrdiff_t(farCleared), all.end()};
  }
  std::vector<std::string> FarInput() const {
    const auto all = far.UserInput();
    return {all.begin() + std::ptrdiff_t(farInput), all.end()};
  }
  // The far end ended the one call of this test as ended by the window's user.
  void ExpectFarClearedByUser(const std::string& token, bool established) {
    ASSERT_TRUE(far.WaitFor([&] { return FarCleared().size() == 1; }));
    EXPECT_EQ(FarCleared()[0].token, token);
    EXPECT_EQ(FarCleared()[0].established, established);
    EXPECT_EQ(FarCleared()[0].reason, H323Connection::EndedByRemoteUser);
  }

  // Whether the audio channel of the window's one call from (or towards) the far end is paused.
  bool Paused(bool fromRemote) {
    const auto tokens = dlg.EndPoint().GetAllConnections();
    if (tokens.size() != 1) return false;
    auto call = dlg.EndPoint().FindConnectionWithLock(tokens.front());
    auto* channel = call ? call->FindChannel(vantro::endpoint::kAudioSessionID, fromRemote) : nullptr;
    return channel && channel->IsPaused();
  }

  bool StatusShows(const std::string& text) { return statuses.Shows(text, 10000); }
  bool BothBarsMove() {
    return ProcessEventsUntil([&] { return Level(dlg, IDC_RX_LEVEL) > 100 && Level(dlg, IDC_TX_LEVEL) > 100; });
  }

  // Idle, both bars at 1, and a balance refresh that writes its line anew.
  void ExpectIdleAfterCall() {
    ASSERT_TRUE(ProcessEventsUntil([&] { return !dlg.IsBusy(); }));
    ExpectCallState(dlg, CallState::Idle);
    EXPECT_EQ(Level(dlg, IDC_RX_LEVEL), 1);
    EXPECT_EQ(Level(dlg, IDC_TX_LEVEL), 1);
    EXPECT_TRUE(ProcessEventsUntil([&] { return BalanceLine(dlg) == "Balance= N/A"; }));
  }

  std::string CallLog() const { return ReadFileBytes(dir / "data1/Call.log"); }

  TestPhone& far;
  CallAudio& farAudio;
  TestGatekeeper& gk;
  size_t farIncoming = 0, farCleared = 0, farInput = 0;
  CallAudio windowAudio{kWindowTone};
  WorkFolder dir;
  std::atomic<uint32_t> now{1000};
  CDialerDlg dlg;
  StatusLineTexts statuses{dlg};
};

// Key and dial tones play nowhere, at once.
class QuietRealCallWindow : public RealCallWindow {
 protected:
  NoServer noServer;
};

}  // namespace

TEST_F(QuietRealCallWindow, APlacedCallFromConnectingThroughRingingWithKeysAndMutesToItsTotalDuration) {
  StartWindow();
  far.SetAnswerLater(true);
  Place(kFarNumber);  // "Connecting....." may have turned to "Ringing....." already: the order is checked at the end
  ExpectCallState(dlg, CallState::Calling);
  // The number joins the drop-down list; the dial box keeps it and the focus.
  ASSERT_EQ(DialBox(dlg)->count(), 1);
  EXPECT_EQ(DialBox(dlg)->itemText(0).toStdString(), kFarNumber);
  EXPECT_EQ(DialText(dlg), kFarNumber);
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  const std::string farCall = FarCall();
  ASSERT_TRUE(StatusShows("Ringing....."));
  ExpectCallState(dlg, CallState::Calling);
  EXPECT_EQ(CallLog(), "");

  far.Answer(farCall);
  ASSERT_TRUE(StatusShows("Call Duration : 0.0"));
  ExpectCallState(dlg, CallState::Established);
  EXPECT_EQ(CallLog(), kFarNumber + "\r\n");
  EXPECT_TRUE(BothBarsMove());

  for (int id : {IDC_KEY1, IDC_KEY2, IDC_KEY3, IDC_KEY4, IDC_KEY5, IDC_KEY6, IDC_KEY7, IDC_KEY8, IDC_KEY9, IDC_KEY0,
                 IDC_KEYSTAR, IDC_KEYHASH})
    ClickInItsWindow(dlg.GetDlgItem(id));
  QTest::keyClick(DialBox(dlg), Qt::Key_7);
  const std::vector<std::string> keys{"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "*", "#", "7"};
  EXPECT_TRUE(far.WaitFor([&] { return FarInput().size() >= keys.size(); }));
  EXPECT_EQ(FarInput(), keys);

  // Each mute box pauses one direction only, drops its bar to 1 and shows its icon; a second
  // click brings it back. The far end stops hearing the muted microphone.
  const auto farHearsWindow = [&](bool hears) {
    return far.WaitFor([&] { return hears == (farAudio.Heard(kWindowTone, 200ms) > (hears ? 0.03 : 0.003)); });
  };
  const struct {
    int box;
    bool fromRemote;
    int bar, otherBar, mutedIcon, icon;
  } boxes[] = {{IDC_SPEAKER_MUTE, true, IDC_RX_LEVEL, IDC_TX_LEVEL, 140, 139},
               {IDC_MIC_MUTE, false, IDC_TX_LEVEL, IDC_RX_LEVEL, 138, 137}};
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.box);
    auto* box = Control<QPushButton>(dlg, b.box);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Level(dlg, b.bar) > 100; }));
    ASSERT_TRUE(farHearsWindow(true));
    box->click();
    EXPECT_TRUE(Paused(b.fromRemote));
    EXPECT_FALSE(Paused(!b.fromRemote));
    EXPECT_EQ(IconImage(box->icon()), IconImage(b.mutedIcon));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Level(dlg, b.bar) == 1; }));
    EXPECT_GT(Level(dlg, b.otherBar), 100);
    if (!b.fromRemote) {
      EXPECT_TRUE(farHearsWindow(false));
    }
    box->click();
    EXPECT_FALSE(Paused(b.fromRemote));
    EXPECT_EQ(IconImage(box->icon()), IconImage(b.icon));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Level(dlg, b.bar) > 100; }));
  }
  EXPECT_TRUE(farHearsWindow(true));

  // Neither the disabled Call button nor Enter in the dial box asks for a second call.
  const size_t admissions = gk.MessagesOf(Ras::admissionRequest).size();
  const std::string dial = DialText(dlg);
  ClickInItsWindow(dlg.GetDlgItem(IDC_CALL));
  QTest::keyClick(DialBox(dlg), Qt::Key_Return);
  ProcessEventsFor(300);
  EXPECT_EQ(gk.MessagesOf(Ras::admissionRequest).size(), admissions);
  EXPECT_EQ(DialText(dlg), dial);  // Enter presses no button of the window either
  EXPECT_EQ(dlg.EndPoint().GetAllConnections().size(), 1u);
  ExpectCallState(dlg, CallState::Established);

  now += 125000;
  ASSERT_TRUE(StatusShows("Call Duration : 2.5"));
  dlg.SetBalanceLine("");
  far.ClearCall(farCall);
  ASSERT_TRUE(StatusShows("Total Duration : 2.5"));
  ExpectIdleAfterCall();
  EXPECT_EQ(statuses.Seen(), (std::vector<std::string>{"Connecting.....", "Ringing.....", "Call Duration : 0.0",
                                                       "Call Duration : 2.5", "Total Duration : 2.5"}));
  EXPECT_EQ(CallLog(), kFarNumber + "\r\n");  // logged once
  EXPECT_TRUE(dlg.EndPoint().GetAllConnections().empty());
}

TEST_F(QuietRealCallWindow, CallsThatEndBeforeTheyAreEstablishedAreNotLogged) {
  StartWindow();
  ClickInItsWindow(dlg.GetDlgItem(IDC_KEY5));  // no call: nothing is sent
  far.SetAnswerLater(true);
  Place(kFarNumber);
  const std::string farCall = FarCall();
  ASSERT_TRUE(StatusShows("Ringing....."));
  dlg.SetBalanceLine("");
  QTest::keyClick(DialBox(dlg), Qt::Key_Escape);  // hangs up, as the Hang-up button does
  EXPECT_EQ(StatusLine(dlg), "Total Duration : 0.0");
  EXPECT_FALSE(dlg.IsCallTimerRunning());
  ExpectIdleAfterCall();
  EXPECT_EQ(StatusLine(dlg), "Total Duration : 0.0");
  ExpectFarClearedByUser(farCall, false);

  // A number the gatekeeper does not know, placed by Enter: refused before anything rings.
  dlg.SetBalanceLine("");
  Place("5559999", true);
  ASSERT_TRUE(StatusShows("Total Duration : 0.0"));
  ExpectIdleAfterCall();
  EXPECT_EQ(statuses.Seen(), (std::vector<std::string>{"Connecting.....", "Total Duration : 0.0"}));
  EXPECT_EQ(CallLog(), "");
  EXPECT_EQ(far.Incoming().size(), farIncoming + 1);
  EXPECT_TRUE(FarInput().empty());
}

// An answered call runs like a placed one; the close control ends it, then the window.
TEST_F(QuietRealCallWindow, AnIncomingCallIsAnsweredAndTheCloseControlEndsItThenTheWindow) {
  StartWindow();
  std::string farCall;
  ASSERT_TRUE(far.MakeCall(kWindowNumber + "@", farCall));
  ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.IsCallTimerRunning(); }));
  ExpectCallState(dlg, CallState::Established);
  ASSERT_TRUE(StatusShows("Call Duration : 0.0"));
  EXPECT_EQ(CallLog(), kFarNumber + "\r\n");  // the caller's number
  EXPECT_TRUE(BothBarsMove());

  QTimer::singleShot(0, &dlg, [&] { ClickInItsWindow(dlg.GetDlgItem(IDC_CLOSE)); });
  EXPECT_EQ(dlg.exec(), 0);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_FALSE(dlg.IsBusy());  // closed only once the call had ended
  ExpectFarClearedByUser(farCall, true);
}

TEST_F(QuietRealCallWindow, SettingsConfirmedDuringACallTakeEffectAfterIt) {
  StartWindow();
  const size_t unregistrations = gk.MessagesOf(Ras::unregistrationRequest).size();
  const size_t registrations = gk.RegistrationRequests(false).size();
  Place(kFarNumber);
  const std::string farCall = FarCall();
  ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.IsCallTimerRunning(); }));

  WhenModal(nullptr, [](QWidget* settings) {
    static_cast<QLineEdit*>(GetDlgItem(settings, 1019))->clear();
    TypeIntoDlgItem(settings, 1019, "7770000");
    ClickDlgItem(settings, 1);
  });
  dlg.OnSettings();
  EXPECT_EQ(dlg.Account().m_strPin, "7770000");
  // The call goes on: the endpoint is neither unregistered nor set up again under it.
  ProcessEventsFor(500);
  ExpectCallState(dlg, CallState::Established);
  EXPECT_TRUE(FarCleared().empty());
  EXPECT_EQ(gk.MessagesOf(Ras::unregistrationRequest).size(), unregistrations);
  EXPECT_EQ(dlg.EndPoint().GetLocalUserName(), kWindowNumber);

  far.ClearCall(farCall);
  ASSERT_TRUE(ProcessEventsUntil([&] {
    return gk.RegistrationRequests(false).size() == registrations + 1 && dlg.EndPoint().IsRegisteredWithGatekeeper();
  }));
  EXPECT_EQ(gk.MessagesOf(Ras::unregistrationRequest).size(), unregistrations + 1);
  EXPECT_EQ(dlg.EndPoint().GetLocalUserName(), "7770000");
}

// The call's audio plays on the test sound server's mic_feed, which its mic source records; the
// dial tones of the number and a key tone play on the same device beside it.
TEST_F(RealCallWindow, KeyAndDialTonesPlayBesideTheCallsOwnAudio) {
  REQUIRE_TEST_SERVER();
  fs::copy(SourceResFolder() / "dtmf", "dtmf");
  const int feed = DeviceIndex(GetPlayDeviceNames(), "mic_feed");
  ASSERT_GE(feed, 0);
  StartWindow(true, feed);
  BackgroundRecorder recorder("mic");
  ASSERT_TRUE(recorder.Running());

  Place(kFarNumber);  // seven dial tones, key1 to key7, while the call comes up
  ASSERT_TRUE(ProcessEventsUntil([&] { return dlg.IsCallTimerRunning(); }));
  ProcessEventsFor(1500);
  ClickInItsWindow(dlg.GetDlgItem(IDC_KEYHASH));  // returns once heard
  ProcessEventsFor(300);
  const std::vector<int16_t> rec = recorder.Stop();
  ClickInItsWindow(dlg.GetDlgItem(IDC_HANGUP));
  ASSERT_TRUE(ProcessEventsUntil([&] { return !dlg.IsBusy(); }));

  // From when the far end's tone is first heard, no 50 ms window falls below a tenth of it: no
  // tone (180 ms each) held the call's audio up (a slow build may thin a window out, not empty it).
  constexpr size_t kWindow = 400;
  size_t start = 0;
  while (start + kWindow <= rec.size() && ToneAmplitude(SampleWindow(rec, start, kWindow), kFarTone) < 0.05)
    start += kWindow;
  ASSERT_LT(start + 20 * kWindow, rec.size()) << "the far end's tone was not heard";
  const double steady = ToneAmplitude(SampleWindow(rec, start + 10 * kWindow, kWindow), kFarTone);
  for (size_t at = start + kWindow; at + 2 * kWindow <= rec.size(); at += kWindow)
    EXPECT_GT(ToneAmplitude(SampleWindow(rec, at, kWindow), kFarTone), steady / 10) << "at " << at / 8 << " ms";

  // The last dial tone (key7: 852 Hz) and the key tone of "#" (941 Hz) came while it played.
  for (double row : {852.0, 941.0}) {
    const TonePeak peak = FindTonePeak(rec, row);
    EXPECT_GT(peak.amplitude, 0.1) << row;
    EXPECT_GT(peak.position, start) << row;
  }
}
