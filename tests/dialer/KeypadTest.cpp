#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/dialer/WindowControls.h"
#include "tests/support/FakeCalls.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/WorkFolder.h"

namespace {

// No sound server: key tones block until heard (they are heard in SoundsTest and RealCallWindowTest).
class Keypad : public ::testing::Test {
 protected:
  Keypad() {
    dlg.UseCalls(&calls);
    dlg.show();
    dlg.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }

  void Press(int id) { ClickInItsWindow(dlg.GetDlgItem(id)); }
  std::string Dial() const { return DialText(dlg); }

  NoServer noServer;
  WorkFolder dir;
  MessageBoxes boxes;
  FakeCalls calls;
  CDialerDlg dlg;
};

}  // namespace

// Every key is clicked through the window, where a static lies across keys 5, 6, 8 and 9.
TEST_F(Keypad, TypedDigitsAndEveryKeyMakeOneNumberAndClearDropsItsLastCharacter) {
  DialBox(dlg)->setFocus();
  QTest::keyClicks(DialBox(dlg)->lineEdit(), "1");
  for (int id : {IDC_KEY1, IDC_KEY2, IDC_KEY3, IDC_KEY4, IDC_KEY5, IDC_KEY6, IDC_KEY7, IDC_KEY8, IDC_KEY9, IDC_KEY0,
                 IDC_KEYSTAR, IDC_KEYHASH})
    Press(id);
  EXPECT_EQ(Dial(), "11234567890*#");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  EXPECT_EQ(DialBox(dlg)->lineEdit()->cursorPosition(), 13);
  EXPECT_FALSE(DialBox(dlg)->lineEdit()->hasSelectedText());

  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  dlg.OnClear();
  EXPECT_EQ(Dial(), "11234567890*");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  // A text saved from the dial box is the dial string too.
  DialBox(dlg)->setEditText("12");
  dlg.UpdateData(true);
  dlg.OnClear();
  EXPECT_EQ(Dial(), "1");
}

TEST_F(Keypad, ACharacterTypedAtTheWindowItselfSaysHi) {
  dlg.setFocus();  // the window itself, no control
  QTest::keyClick(&dlg, Qt::Key_2);
  EXPECT_EQ(boxes.texts, std::vector<std::string>{"Hi"});
  EXPECT_EQ(Dial(), "");

  dlg.setFocus();
  QTest::keyClick(&dlg, Qt::Key_1);
  EXPECT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(Dial(), "1");
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  // Typed into a control, the character is the control's.
  QTest::keyClick(DialBox(dlg)->lineEdit(), Qt::Key_7);
  EXPECT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(Dial(), "17");
}

TEST_F(Keypad, AnEmptyDialBoxPlacesNoCall) {
  dlg.GetDlgItem(IDC_SETTINGS)->setFocus();
  Press(IDC_CALL);
  EXPECT_TRUE(DialBox(dlg)->hasFocus());
  EXPECT_TRUE(calls.Parties().empty());
  ExpectCallState(dlg, CallState::Idle);
}
