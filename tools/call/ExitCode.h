#pragma once
// What vantro-call's exit status says, so that scripts can tell the classes of failure of a line
// test apart, and how the end of a call maps onto them.

#include "stack/h225/H323CallEndReasons.h"

namespace vantro::tool {

enum class ExitCode : int {
  Ok = 0,                    // the call (each call answered) was established and cleared normally
  CallFailed = 1,            // the call failed for another reason (refused, forwarded, a protocol error)
  Usage = 2,                 // bad arguments, or a WAV file or sound device that cannot be used
  NoGatekeeper = 3,          // no gatekeeper answered at the address given
  RegistrationRejected = 4,  // the gatekeeper refused the registration (wrong password, alias in use)
  AdmissionRejected = 5,     // the gatekeeper refused the call (unknown number, no bandwidth, not allowed)
  NoAnswer = 6,              // the far end did not answer in time (--timeout, or it rang out)
  Busy = 7,                  // the far end was busy
  Unreachable = 8,           // nothing could be reached at the far end's address, or the network failed
  MediaFailed = 9,           // no common codec, no media channel, or (--require-audio) no audio received
  Interrupted = 10,          // Ctrl-C or SIGTERM before the call was established
  NoCall = 11,               // answer: no call came within --timeout
};

// A few words for the exit line and the help ("no gatekeeper").
const char* ExitCodeMeaning(ExitCode code);

// The class of a call's end: established tells whether the call got as far as Connect.
ExitCode ExitCodeForCallEnd(endpoint::H323CallEndReasons::CallEndReason reason, bool established);

}  // namespace vantro::tool
