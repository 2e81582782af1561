#pragma once

#include <QObject>

class QSocketNotifier;

// The signals that ask the program to end (SIGTERM from a desktop logout or `kill`, SIGINT from
// Ctrl-C, SIGHUP from a closed terminal), caught while the object lives and reported as
// received() on the user-interface thread. The handler only writes the signal's number to a pipe
// that the event loop watches, so the program ends its calls and its registration as a close
// does instead of dying on the spot. One object at a time; the old handlers come back when it
// is destroyed.
class CTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit CTerminationSignals(QObject *parent = nullptr);
    ~CTerminationSignals() override;

    CTerminationSignals(const CTerminationSignals &) = delete;
    CTerminationSignals &operator=(const CTerminationSignals &) = delete;

    // False when the pipe or a handler could not be set up (the signals then end the program as
    // they would without this object).
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void received(int signal);

private:
    void OnReadable();

    int m_read = -1;
    QSocketNotifier *m_notifier = nullptr;
};
