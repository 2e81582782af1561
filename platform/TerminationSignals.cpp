#include "TerminationSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end, for the handler; -1 while no object watches.
volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];

// Runs in the signal's context: only write(2), and errno is left as it was.
void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  if (g_writeFd >= 0 && ::write(g_writeFd, &number, 1) < 0) {
    // A full pipe already holds requests to end: nothing is lost.
  }
  errno = saved;
}

}  // namespace

CTerminationSignals::CTerminationSignals(QObject* parent) : QObject(parent) {
  int fds[2];
  if (g_writeFd >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  m_read = fds[0];
  g_writeFd = fds[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
  auto* notifier = new QSocketNotifier(m_read, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &CTerminationSignals::OnReadable);
}

CTerminationSignals::~CTerminationSignals() {
  if (m_read < 0) return;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  const int writeFd = g_writeFd;
  g_writeFd = -1;
  ::close(writeFd);
  ::close(m_read);
}

void CTerminationSignals::OnReadable() {
  unsigned char numbers[16];
  ssize_t n;
  while ((n = ::read(m_read, numbers, sizeof numbers)) > 0)
    for (ssize_t i = 0; i < n; ++i) emit received(numbers[i]);
}
