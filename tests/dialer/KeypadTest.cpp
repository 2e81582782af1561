#include <optional>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

// Key tones block until they have been heard; the test daemon's null sinks take two seconds to
// play anything out, so only the test that listens to a tone has a sound server.
class Keypad : public ::testing::Test {
 protected:
  explicit Keypad(bool withSound = false) {
    if (!withSound) noServer.emplace();
    fs::create_directory("dtmf");
    for (const auto& f : fs::directory_iterator(SourceResFolder() / "dtmf"))
      fs::copy_file(f.path(), fs::path("dtmf") / f.path().filename());
    SetMessageBoxHook([this](QWidget*, const std::string& text, const std::string&, unsigned) {
      boxes.push_back(text);
      return IDOK;
    });
    dlg.show();
    dlg.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }
  ~Keypad() override { SetMessageBoxHook(nullptr); }

  void Press(int id) { QTest::mouseClick(dlg.GetDlgItem(id), Qt::LeftButton); }
  std::string Dial() const { return DialText(dlg); }

  std::optional<NoServer> noServer;
  WorkFolder dir;
  std::vector<std::string> boxes;
  CDialerDlg dlg;
};

class KeypadWithSound : public Keypad {
 protected:
  // A loaded machine (the sanitizer run beside other tests) may keep the server waiting longer
  // than a desktop ever does.
  KeypadWithSound() : Keypad(true), m_oldTimeout(PSoundChannel::GetServerTimeout()) {
    PSoundChannel::SetServerTimeout(std::chrono::seconds(10));
  }
  ~KeypadWithSound() override { PSoundChannel::SetServerTimeout(m_oldTimeout); }

 private:
  std::chrono::milliseconds m_oldTimeout;
};

}  // namespace

TEST_F(Keypad, KeysAppendTheirCharactersAndLeaveTheCaretAtTheEnd) {
  for (int id : {IDC_KEY1, IDC_KEY2, IDC_KEY3, IDC_KEY4, IDC_KEY5, IDC_KEY6, IDC_KEY7, IDC_KEY8, IDC_KEY9, IDC_KEY0,
                 IDC_KEYSTAR, IDC_KEYHASH})
    Press(id);
  EXPECT_EQ(Dial(), "1234567890*#");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  EXPECT_EQ(DialBox(dlg)->lineEdit()->cursorPosition(), 12);
  EXPECT_FALSE(DialBox(dlg)->lineEdit()->hasSelectedText());
}

TEST_F(Keypad, TypedDigitsAndKeysMakeOneNumber) {
  DialBox(dlg)->setFocus();
  QTest::keyClicks(DialBox(dlg)->lineEdit(), "12");
  Press(IDC_KEY3);
  EXPECT_EQ(Dial(), "123");
}

TEST_F(Keypad, ClearDropsTheLastCharacterAndAlwaysFocusesTheDialBox) {
  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  dlg.OnClear();
  EXPECT_EQ(Dial(), "");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());

  Press(IDC_KEY4);
  Press(IDC_KEYHASH);
  dlg.OnClear();
  EXPECT_EQ(Dial(), "4");
}

TEST_F(Keypad, ACharacterTypedAtTheWindowItselfSaysHi) {
  dlg.setFocus();
  QApplication::focusWidget();  // the window itself, no control
  QTest::keyClick(&dlg, Qt::Key_2);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Hi");
  EXPECT_EQ(Dial(), "");

  dlg.setFocus();
  QTest::keyClick(&dlg, Qt::Key_1);
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(Dial(), "1");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());

  // Typed into a control, the character is the control's.
  QTest::keyClick(DialBox(dlg)->lineEdit(), Qt::Key_7);
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(Dial(), "17");
}

TEST_F(Keypad, AnEmptyDialBoxPlacesNoCall) {
  FakeCalls calls;
  dlg.UseCalls(&calls);
  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  Press(IDC_CALL);
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  EXPECT_FALSE(dlg.IsBusy());
  EXPECT_FALSE(DialBox(dlg)->InCall());
  EXPECT_TRUE(calls.Parties().empty());
  EXPECT_TRUE(Enabled(dlg, IDC_CALL));
}

TEST_F(KeypadWithSound, TheZeroKeyPlaysTheToneOfZero) {
  REQUIRE_TEST_SERVER();
  // The stored play device is the first sink, "speaker"; its monitor hears what it plays.
  BackgroundRecorder monitor("speaker.monitor");
  ASSERT_TRUE(monitor.Running());
  Press(IDC_KEY0);
  const std::vector<int16_t> heard = LoudPart(monitor.Stop(std::chrono::milliseconds(800)));
  ASSERT_GT(heard.size(), 800u);
  // "0" is 941 Hz with 1336 Hz; the row of "1" (697 Hz) and the column of "3" (1477 Hz) are not
  // in it.
  EXPECT_GT(ToneAmplitude(heard, 941), 0.1);
  EXPECT_GT(ToneAmplitude(heard, 1336), 0.1);
  EXPECT_LT(ToneAmplitude(heard, 697), 0.02);
  EXPECT_LT(ToneAmplitude(heard, 1477), 0.02);
  EXPECT_EQ(Dial(), "0");
}
