#include "tools/call/ExitCode.h"

namespace vantro::tool {

using R = endpoint::H323CallEndReasons;

const char* ExitCodeMeaning(ExitCode code) {
  switch (code) {
    case ExitCode::Ok: return "established and cleared normally";
    case ExitCode::CallFailed: return "call failed";
    case ExitCode::Usage: return "bad arguments";
    case ExitCode::NoGatekeeper: return "no gatekeeper";
    case ExitCode::RegistrationRejected: return "registration rejected";
    case ExitCode::AdmissionRejected: return "admission rejected";
    case ExitCode::NoAnswer: return "no answer";
    case ExitCode::Busy: return "busy";
    case ExitCode::Unreachable: return "unreachable";
    case ExitCode::MediaFailed: return "media failed";
    case ExitCode::Interrupted: return "interrupted";
    case ExitCode::NoCall: return "no call came";
  }
  return "?";
}

ExitCode ExitCodeForCallEnd(R::CallEndReason reason, bool established) {
  switch (reason) {
    case R::EndedByLocalUser:
    case R::EndedByRemoteUser:
    case R::EndedByDurationLimit:
      // A call that never connected and was put down by either side did not do what was asked.
      return established ? ExitCode::Ok : ExitCode::CallFailed;
    case R::EndedByNoAnswer: return ExitCode::NoAnswer;
    case R::EndedByRemoteBusy:
    case R::EndedByLocalBusy: return ExitCode::Busy;
    case R::EndedByGatekeeper:
      // Before the connect the gatekeeper refused the call; after it, it cut the call off.
      return established ? ExitCode::CallFailed : ExitCode::AdmissionRejected;
    case R::EndedByNoUser:
    case R::EndedByNoBandwidth:
    case R::EndedBySecurityDenial: return ExitCode::AdmissionRejected;
    case R::EndedByTransportFail:
    case R::EndedByConnectFail:
    case R::EndedByUnreachable:
    case R::EndedByNoEndPoint:
    case R::EndedByHostOffline:
    case R::EndedByTemporaryFailure:
    case R::EndedByRemoteCongestion: return ExitCode::Unreachable;
    case R::EndedByCapabilityExchange:
    case R::EndedByMediaFailed: return ExitCode::MediaFailed;
    default: return ExitCode::CallFailed;
  }
}

}  // namespace vantro::tool
