// The link control as the settings dialog uses it: opened on a worker by the desktop's opener, a
// failure said in a box.
#include <QTest>

#include <gtest/gtest.h>

#include "tests/support/FakePrograms.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "web/CHyperLink.h"

namespace {

// A link bound to its target as the settings dialog binds its own, stand-ins for the programs that
// open it, and its message boxes.
class HyperLink : public ::testing::Test {
 protected:
  HyperLink() {
    link.SetLinkColours(QColor(67, 86, 204), QColor(67, 86, 204), QColor(219, 44, 148));
    link.SetTarget("http://a.example/page");
    link.PreSubclassWindow();
    QObject::connect(&link, &CHyperLink::opened, [this] { ++opened; });
  }
  void Click() { QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(2, 2)); }
  // Clicks the link and waits for it to report how the open went.
  bool ClickAndWait() {
    const int before = opened;
    Click();
    return ProcessEventsUntil([&] { return opened > before; });
  }

  FakePrograms fake{true};
  MessageBoxes boxes;
  QWidget parent;
  CHyperLink link{&parent};
  int opened = 0;
};

}  // namespace

TEST_F(HyperLink, AClickOpensWithTheDesktopOrSaysWhyNot) {
  fake.AddRecorder("xdg-open", 0);
  ASSERT_TRUE(ClickAndWait());
  EXPECT_EQ(fake.ArgsOf("xdg-open"), "http://a.example/page\n");
  EXPECT_TRUE(boxes.texts.empty());

  // A failed open afterwards says why.
  fake.AddRecorder("xdg-open", 3);
  ASSERT_TRUE(ClickAndWait());
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0],
            "Unable to open hyperlink:\n\nThere is no application associated\n"
            "with the given filename extension.");
  EXPECT_EQ(boxes.types[0], unsigned(MB_ICONEXCLAMATION));
}

// The opener runs on a worker: the click returns while it is still at work, and the link shows
// the result once it has finished.
TEST_F(HyperLink, AClickReturnsWhileTheOpenerIsStillAtWork) {
  const std::filesystem::path release = fake.Dir().path() / "release";
  // The opener waits for the test (or for the test's folder to go).
  fake.Add("xdg-open", "while [ ! -e '" + release.string() + "' ] && [ -d '" + fake.Dir().path().string() +
                           "' ]; do /bin/sleep 0.01; done");
  Click();
  EXPECT_EQ(opened, 0);
  EXPECT_FALSE(link.GetWasVisited());
  WriteFileBytes(release, "");
  ASSERT_TRUE(ProcessEventsUntil([&] { return opened == 1; }));
  EXPECT_TRUE(link.GetWasVisited());
  EXPECT_TRUE(boxes.texts.empty());
}
