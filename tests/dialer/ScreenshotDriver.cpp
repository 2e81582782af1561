// Pictures of the dialer's window during a call, for the documentation. scripts/screenshots.sh
// runs this under an X server and the test sound server:
//   window_screenshots <folder>   writes ringing.png, established.png and ended.png there
// The window is set up as at start-up, against a test gatekeeper in this process, and calls a far
// end of ours that rings first and then answers, sending a tone. The window plays on the sound
// server's "speaker" and records its "mic", which hears a second tone this program plays into
// "mic_feed". The speaker is listened to (its monitor recorded), as a sound card is: a null sink
// that nobody reads may hold a player up for a second or more. Each picture is the whole screen,
// taken with ImageMagick's import.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <QApplication>
#include <QTest>

#include "platform/DialogItems.h"
#include "platform/SoundDevices.h"
#include "runtime/PSound.h"
#include "runtime/PSoundChannel.h"
#include "settings/CDialerSettings.h"
#include "tests/dialer/CallAudio.h"
#include "tests/dialer/WindowControls.h"
#include "tests/stack/endpoint/TestPhone.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestGatekeeper.h"

namespace fs = std::filesystem;

namespace {

const std::string kWindowNumber = "5550100";
const std::string kFarNumber = "5550200";
constexpr double kFarTone = 700;        // the far end's voice
constexpr double kMicTone = 300;        // what the window's microphone hears
constexpr int kEstablishedSeconds = 7;  // how long the call runs before its picture

int Fail(const char* what) {
  std::fprintf(stderr, "window_screenshots: %s\n", what);
  return 1;
}

// The whole screen into folder/name, once what the window last changed has been painted.
bool Shoot(const fs::path& folder, const char* name) {
  ProcessEventsFor(300);
  const std::string command = "import -window root '" + (folder / name).string() + "'";
  if (std::system(command.c_str()) != 0) return false;
  std::printf("%s\n", (folder / name).c_str());
  return true;
}

// A tone played into a sink of the sound server until stopped, on a thread of its own.
class TonePlayer {
 public:
  TonePlayer(const std::string& sink, double frequency) : m_thread([this, sink, frequency] { Run(sink, frequency); }) {}
  ~TonePlayer() {
    m_stop = true;
    m_channel.Abort();
    m_thread.join();
  }

 private:
  void Run(const std::string& sink, double frequency) {
    if (!m_channel.Open(sink, PSoundChannel::Player)) return;
    // A second of tone without fades, over and over: a whole number of periods of any
    // whole frequency, so the joins are smooth.
    const PSound tone = PSound::Tones({frequency}, 0.25, 1000, 8000, 0);
    const size_t bytes = tone.GetFrameCount() * sizeof(int16_t);
    while (!m_stop && m_channel.Write(tone.GetData(), bytes)) {
    }
  }

  std::atomic<bool> m_stop{false};
  PSoundChannel m_channel;
  std::thread m_thread;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_screenshots <folder>\n");
    return 2;
  }
  const fs::path out = fs::absolute(argv[1]);
  fs::create_directories(out);
  QApplication app(argc, argv);

  // A working folder with the shipped key tones and banner, as the program has it.
  TempDir dir(true);
  fs::create_directories("data1");
  fs::copy(SourceResFolder() / "dtmf", "dtmf");
  fs::copy_file(SourceResFolder() / "data1/banner.gif", "data1/banner.gif");

  vantro::test::TestGatekeeper gatekeeper;
  CallAudio farAudio(kFarTone);
  vantro::test::TestPhone far(kFarNumber, kFarTone, 23600);
  far.SetAudioDevices(farAudio.Devices());
  far.SetAnswerLater(true);
  if (!far.Register(gatekeeper.Address())) return Fail("the far end did not register");

  const int speaker = DeviceIndex(GetPlayDeviceNames(), "speaker");
  const int mic = DeviceIndex(GetRecordDeviceNames(), "mic");
  if (speaker < 0 || mic < 0) return Fail("no speaker and mic on the sound server (scripts/pulse-test-daemon.sh)");
  CDialerSettings seed;
  seed.SaveSettings(CAccount{kWindowNumber, "SER1", gatekeeper.Address(), "", 0}, true, 0, speaker, mic);

  CDialerDlg dlg;
  dlg.EndPoint().listenerInterfaces = "127.0.0.1:0";
  dlg.EndPoint().SetRtpPortRange(23800, 23999);
  WhenModal(nullptr, [](QWidget* signIn) { ClickDlgItem(signIn, 1); });
  if (!dlg.OnInitDialog()) return Fail("the window did not start");
  dlg.show();
  if (!ProcessEventsUntil([&] { return BalanceLine(dlg) == "Balance= N/A"; }, 10000))
    return Fail("the window did not register");

  // Someone at the loudspeaker, from before the call to its end.
  BackgroundRecorder listener("speaker.monitor");

  // Ringing, once the dial tones are over.
  DialAndCall(dlg, kFarNumber);
  if (!ProcessEventsUntil([&] { return StatusLine(dlg) == "Ringing....."; }, 10000))
    return Fail("the far end did not ring");
  ProcessEventsFor(1500);
  if (!Shoot(out, "ringing.png")) return Fail("import failed");

  // Established, with a tone each way.
  TonePlayer voice("mic_feed", kMicTone);
  far.Answer(far.Incoming().back());
  const std::string duration = "Call Duration : 0." + std::to_string(kEstablishedSeconds);
  if (!ProcessEventsUntil([&] { return StatusLine(dlg) == duration; }, (kEstablishedSeconds + 5) * 1000))
    return Fail("the call was not established");
  if (!Shoot(out, "established.png")) return Fail("import failed");
  std::printf("levels: received %d, transmitted %d\n", Level(dlg, IDC_RX_LEVEL), Level(dlg, IDC_TX_LEVEL));
  const std::vector<int16_t> heard = listener.Stop();
  const size_t second = std::min<size_t>(heard.size(), 8000);
  std::printf("the far end's tone at the loudspeaker, last second: %.2f of full scale\n",
              ToneAmplitude(SampleWindow(heard, heard.size() - second, second), kFarTone));

  // Ended by the Hang-up button.
  ClickInItsWindow(dlg.GetDlgItem(IDC_HANGUP));
  if (!ProcessEventsUntil([&] { return !dlg.IsBusy(); }, 10000)) return Fail("the call did not end");
  if (!Shoot(out, "ended.png")) return Fail("import failed");
  return 0;
}
