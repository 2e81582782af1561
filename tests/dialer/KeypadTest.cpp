#include <QApplication>
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

// Key tones block until they have been heard and the test daemon's null sinks take two seconds to
// play anything out: here there is no sound server (the tones are heard in SoundsTest and
// RealCallWindowTest).
class Keypad : public ::testing::Test {
 protected:
  Keypad() {
    dlg.show();
    dlg.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dlg));
  }

  void Press(int id) { ClickInItsWindow(dlg.GetDlgItem(id)); }
  std::string Dial() const { return DialText(dlg); }

  NoServer noServer;
  WorkFolder dir;
  MessageBoxes boxes;
  CDialerDlg dlg;
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
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "Hi");
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
