#include "settings/CAccountFields.h"

#include <QLineEdit>

#include "platform/DataExchange.h"
#include "settings/CAccount.h"

void CAccountFields::Prepare(QObject* context, const std::function<void()>& edited) const {
  pin->setEchoMode(QLineEdit::Password);
  gkPass->setEchoMode(QLineEdit::Password);
  for (QLineEdit* edit : {pin, serial, gatekeeper, gkPass}) {
    KeepOnOneLine(edit);
    QObject::connect(edit, &QLineEdit::textEdited, context, [edited] { edited(); });
  }
}

void CAccountFields::Exchange(bool save, CAccount& account) const {
  DDX_Text(save, pin, account.m_strPin);
  DDX_Text(save, serial, account.m_strSerial);
  DDX_Text(save, gatekeeper, account.m_strGatekeeper);
  DDX_Text(save, gkPass, account.m_strGkPass);
}
