#pragma once

#include <functional>

struct CAccount;
class QLineEdit;
class QObject;

// The account's four edit fields, which the sign-in and the settings dialogs both show.
struct CAccountFields {
  QLineEdit* pin = nullptr;
  QLineEdit* serial = nullptr;
  QLineEdit* gatekeeper = nullptr;
  QLineEdit* gkPass = nullptr;

  // PIN and password shown as dots, line breaks kept out, and edited() after every change the
  // user makes (context: the dialog that owns the connections).
  void Prepare(QObject* context, const std::function<void()>& edited) const;
  // The account into the fields or, with save, the fields into the account.
  void Exchange(bool save, CAccount& account) const;
};
