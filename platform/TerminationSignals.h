#pragma once

#include <QObject>

// The signals that ask the program to end (SIGTERM from a desktop logout or `kill`, SIGINT from
// Ctrl-C, SIGHUP from a closed terminal), caught while the object lives and reported as
// received() on the user-interface thread. The handler only writes the signal's number to a pipe
// that the event loop watches, so the program ends its calls and its registration as a close
// does instead of dying on the spot. One object at a time (a second one, or one whose pipe could
// not be made, leaves the signals as they were); the old handlers come back when it is destroyed.
class CTerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit CTerminationSignals(QObject* parent = nullptr);
  ~CTerminationSignals() override;

  CTerminationSignals(const CTerminationSignals&) = delete;
  CTerminationSignals& operator=(const CTerminationSignals&) = delete;

 signals:
  void received(int signal);

 private:
  void OnReadable();

  int m_read = -1;
};
