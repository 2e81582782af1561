#pragma once

#include <QApplication>

#include "app/PWLibProcess.h"

// The application object. The process object is a member, built after the application base and
// destroyed before it, so it is there before anything of the stack and outlives it.
class CDialerApp : public QApplication {
 public:
  CDialerApp(int& argc, char** argv);
  ~CDialerApp() override;

  // Runs the dialer window modally; always returns false, so the application ends afterwards.
  bool InitInstance();

  PWLibProcess& Process() { return m_process; }

 private:
  PWLibProcess m_process;
};
