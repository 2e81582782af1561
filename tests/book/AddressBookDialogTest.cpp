#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "book/CAddressBookDlg.h"
#include "platform/DialogItems.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/QtTestMain.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class AddressBookDialogs : public ::testing::Test {
 protected:
  WorkFolder dir;
};

QTreeWidget* List(QWidget* book) { return static_cast<QTreeWidget*>(GetDlgItem(book, 1035)); }

QStringList Row(QTreeWidget* list, int i) {
  QTreeWidgetItem* item = list->topLevelItem(i);
  return {item->text(0), item->text(1), item->text(2)};
}

}  // namespace

TEST_F(AddressBookDialogs, AddListsTheNewContactFirstAndStoresIt) {
  WriteFileBytes(dir / "data1/Address.log", "Old:111:friend\r\nbroken line\r\n");
  CAddressBookDlg dlg;
  // The steps outlive the lambdas that arm them: they capture pointers by value only.
  QWidget* book = &dlg;
  QTreeWidget* list = List(&dlg);
  QWidget* entry = &dlg.EntryDialog();
  WhenModal(book, [=](QWidget*) {
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Row(list, 1), (QStringList{"broken line", "", ""}));
    WhenModal(entry, [=](QWidget*) {
      TypeIntoDlgItem(entry, 1041, "Anna");
      TypeIntoDlgItem(entry, 1043, "555");
      TypeIntoDlgItem(entry, 1042, "Office: room 5");
      ClickDlgItem(entry, 1);
      WhenModal(book, [=](QWidget*) {
        EXPECT_EQ(list->topLevelItemCount(), 3);
        EXPECT_EQ(Row(list, 0), (QStringList{"Anna", "555", "Office: room 5"}));
        // The next Add starts with empty boxes; Cancel stores nothing.
        WhenModal(entry, [=](QWidget*) {
          EXPECT_EQ(static_cast<QLineEdit*>(GetDlgItem(entry, 1041))->text(), "");
          TypeIntoDlgItem(entry, 1041, "Ghost");
          ClickDlgItem(entry, 2);
          WhenModal(book, [=](QWidget*) {
            EXPECT_EQ(list->topLevelItemCount(), 3);
            ClickDlgItem(book, 1);
          });
        });
        ClickDlgItem(book, 1036);
      });
    });
    ClickDlgItem(book, 1036);
  });
  EXPECT_EQ(dlg.DoModal(), 1);
  EXPECT_EQ(ReadFileBytes(dir / "data1/Address.log"), "Anna:555:Office: room 5\r\nOld:111:friend\r\nbroken line\r\n");
}

TEST_F(AddressBookDialogs, DeleteAndCallUseTheUpperSelectedRow) {
  WriteFileBytes(dir / "data1/Address.log", "A:1:x\nB:2:y\nC:3:z\n");
  CAddressBookDlg dlg;
  WhenModal(nullptr, [&](QWidget* book) {
    QTreeWidget* list = List(book);
    ClickDlgItem(book, 1039);  // nothing selected: nothing happens
    EXPECT_EQ(list->topLevelItemCount(), 3);
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    ClickDlgItem(book, 1039);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(ReadFileBytes("data1/Address.log"), "A:1:x\r\nC:3:z\r\n");
    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    ClickDlgItem(book, 1037);
  });
  EXPECT_EQ(dlg.DoModal(), 1037);
  EXPECT_EQ(dlg.ChosenNumber(), "1");
}

TEST_F(AddressBookDialogs, AStoreThatCannotBeWrittenKeepsTheTypedContact) {
  fs::remove_all(dir / "data1");
  MessageBoxes boxes;
  CAddressEntryDlg entry;
  WhenModal(nullptr, [&](QWidget* dlg) {
    TypeIntoDlgItem(dlg, 1041, "Anna");
    ClickDlgItem(dlg, 1);
    EXPECT_TRUE(dlg->isVisible());  // not closed: nothing was stored
    EXPECT_EQ(static_cast<QLineEdit*>(GetDlgItem(dlg, 1041))->text(), "Anna");
    ClickDlgItem(dlg, 2);
  });
  EXPECT_EQ(entry.DoModal(), IDCANCEL);
  ASSERT_EQ(boxes.texts.size(), 1u);
}
