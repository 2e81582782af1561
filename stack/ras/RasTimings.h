#pragma once
// How long the RAS client waits for answers. The defaults end an unanswered discovery within ten
// seconds; tests shorten them.

#include <chrono>

namespace vantro::ras {

struct RasTimings {
  // Gatekeeper discovery: tries and the wait for an answer to each.
  std::chrono::milliseconds discoveryTimeout{3000};
  int discoveryTries = 3;
  // Registration and the other requests.
  std::chrono::milliseconds requestTimeout{3000};
  int requestTries = 3;
  // Unregistration: shorter, as the endpoint goes on without an answer.
  std::chrono::milliseconds unregisterTimeout{1000};
  int unregisterTries = 2;
  // A RequestInProgress extends the wait to its delay and a timeout more; the delay counts at most
  // this much each time, and at most
  // this many times per request.
  std::chrono::milliseconds maxProgressDelay{30000};
  int maxProgressExtensions = 10;
  // Looking the gatekeeper's name up.
  std::chrono::milliseconds resolveTimeout{10000};
  // How long one second of the time to live a gatekeeper grants lasts here; keep-alives are
  // scheduled from it. Only tests make it shorter, to run many keep-alives in little time.
  std::chrono::milliseconds timeToLiveSecond{1000};
};

}  // namespace vantro::ras
