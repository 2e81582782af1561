#include "res/Resources.h"

#include <QFile>
#include <QString>

QImage LoadBitmapResource(int id) { return QImage(QStringLiteral(":/bitmaps/%1.png").arg(id)); }

QImage LoadIconResource(int id) { return QImage(QStringLiteral(":/icons/%1.png").arg(id)); }

QByteArray LoadSoundResource(int id) {
  QFile f(QStringLiteral(":/sounds/%1.wav").arg(id));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

std::string LoadStringResource(int id) {
  switch (id) {
    case 101: return "&About Tolvane Dialer...";
    case 102: return "Gatekeeper refused to allow the listening port.";
    case 103: return "Gatekeeper refused to allow the listening port.";
    case 104: return "Gatekeeper security denial, check your PIN no ";
    case 105: return "Gatekeeper transport failure.";
    case 106: return "Gatekeeper security denial, check your PIN no ";
    default: return {};
  }
}
