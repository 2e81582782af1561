#pragma once
// How long a call waits for the far end at each step. The defaults suit real networks; tests
// shorten them.

#include <chrono>

namespace vantro::endpoint {

struct CallTimings {
  std::chrono::milliseconds connectTimeout{10000};         // TCP connect of Setup
  std::chrono::milliseconds setupAnswerTimeout{10000};     // Setup sent, nothing back (no Proceeding/Alerting/Connect)
  std::chrono::milliseconds ringingTimeout{180000};        // Proceeding/Alerting, no Connect
  std::chrono::milliseconds h245Timeout{10000};            // each H.245 request
  std::chrono::milliseconds idleConnectionTimeout{5000};   // accepted TCP connection without a Setup
  // An established call asks the far end for its status this often (Status Enquiry) and is
  // cleared when no answer comes within h245Timeout: a peer whose host vanished sends nothing
  // more and never closes its connection. Zero: never ask.
  std::chrono::milliseconds statusEnquiryInterval{30000};
};

}  // namespace vantro::endpoint
