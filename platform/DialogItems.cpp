#include "DialogItems.h"

#include <QVariant>
#include <QWidget>

namespace {
constexpr const char* kIdProperty = "dlgCtrlId";
}

void SetDlgCtrlID(QWidget* control, int id) {
  control->setProperty(kIdProperty, id);
  control->setObjectName(QStringLiteral("IDC_%1").arg(id));
}

int GetDlgCtrlID(const QWidget* control) { return control ? control->property(kIdProperty).toInt() : 0; }

QWidget* GetDlgItem(const QWidget* dialog, int id) {
  if (!dialog) return nullptr;
  return dialog->findChild<QWidget*>(QStringLiteral("IDC_%1").arg(id));
}
