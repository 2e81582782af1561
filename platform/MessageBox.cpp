#include "MessageBox.h"

#include <mutex>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "platform/UiThread.h"

const char* const kAppTitle = "Vantro Dialer";

namespace {

std::mutex g_hookMutex;
MessageBoxHook g_hook;

int ShowOnUiThread(QWidget* owner, const std::string& text, const std::string& caption, unsigned type) {
  MessageBoxHook hook;
  {
    std::lock_guard lock(g_hookMutex);
    hook = g_hook;
  }
  if (hook) return hook(owner, text, caption, type);

  QMessageBox box(owner);
  box.setWindowTitle(QString::fromStdString(caption.empty() ? kAppTitle : caption));
  box.setText(QString::fromStdString(text));
  switch (type & 0xF0) {
    case MB_ICONHAND: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONASTERISK: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  switch (type & 0x0F) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
  }
}

}  // namespace

int AfxMessageBox(const std::string& text, unsigned type, const std::string& caption, QWidget* owner) {
  if (IsUiThread()) return ShowOnUiThread(owner, text, caption, type);
  QPointer<QWidget> guardedOwner(owner);
  PostToUi(qApp, [guardedOwner, text, caption, type] { ShowOnUiThread(guardedOwner.data(), text, caption, type); });
  return IDOK;
}

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(g_hookMutex);
  g_hook = std::move(hook);
}
