#pragma once
// Why a call ended, and how the reasons map to what the wire carries: the Release Complete's
// reason and Q.931 cause in both directions, and a gatekeeper's admission reject.
//
// H323Connection derives from this, so that the reasons read H323Connection::EndedByRemoteUser.

#include <cstdint>
#include <optional>

namespace vantro::endpoint {

struct H323CallEndReasons {
  enum CallEndReason {
    EndedByLocalUser,           // the local user cleared the call
    EndedByNoAccept,            // the incoming call was not accepted
    EndedByAnswerDenied,        // the local user refused to answer
    EndedByRemoteUser,          // the far end cleared the call
    EndedByRefusal,             // the far end refused the call
    EndedByNoAnswer,            // the far end did not answer in time
    EndedByCallerAbort,         // the caller gave up before the call was answered
    EndedByTransportFail,       // the signalling connection failed or the far end stopped answering
    EndedByConnectFail,         // the connection to the far end could not be made
    EndedByGatekeeper,          // the gatekeeper refused or ended the call, or could not be asked
    EndedByNoUser,              // the called party is not known
    EndedByNoBandwidth,         // not enough bandwidth
    EndedByCapabilityExchange,  // no common capability, or the H.245 procedures failed
    EndedByCallForwarded,       // the call was forwarded elsewhere
    EndedBySecurityDenial,      // refused for want of an admission (not registered)
    EndedByLocalBusy,           // we were busy
    EndedByLocalCongestion,     // we had no resources
    EndedByRemoteBusy,          // the far end was busy
    EndedByRemoteCongestion,    // the far end (or its network) had no resources
    EndedByUnreachable,         // no route to the far end
    EndedByNoEndPoint,          // nothing answers at the far end's address
    EndedByHostOffline,         // the far end's host does not answer
    EndedByTemporaryFailure,    // a temporary failure of the far end or its network
    EndedByQ931Cause,           // a Q.931 cause none of the above stands for (GetQ931Cause)
    EndedByDurationLimit,       // the call ran out of time
    EndedByInvalidConferenceID, // the far end did not know the call
    EndedByMediaFailed,         // no media channel could run
    NumCallEndReasons           // the call has not ended
  };

  // "EndedByRemoteUser", for logs; "NumCallEndReasons" for a call that runs; "?" otherwise.
  static const char* CallEndReasonName(CallEndReason reason);
};

// What a Release Complete we send carries for a reason: the ReleaseCompleteReason alternative
// (none for a plain clearing) and the Q.931 cause.
struct ReleaseCompleteFields {
  std::optional<std::uint16_t> reason;
  std::uint8_t cause = 16;
};
ReleaseCompleteFields ReleaseCompleteFor(H323CallEndReasons::CallEndReason reason);

// The reason a received Release Complete stands for: its cause when that says more than a normal
// clearing, else its reason, else EndedByRemoteUser.
H323CallEndReasons::CallEndReason EndReasonFromReleaseComplete(std::optional<std::uint8_t> cause,
                                                               std::optional<std::uint16_t> reason);

// The reason an admission reject (an AdmissionRejectReason alternative) stands for.
H323CallEndReasons::CallEndReason EndReasonFromAdmissionReject(std::uint16_t rejectReason);

}  // namespace vantro::endpoint
