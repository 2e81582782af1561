#include "stack/h225/H323CallEndReasons.h"

#include "stack/asn/generated/H225.h"

namespace vantro::endpoint {

namespace {

using R = asn::h225::ReleaseCompleteReason;
using E = H323CallEndReasons;

// Q.931 cause values (Q.850) that the mapping names.
enum : std::uint8_t {
  CauseUnallocatedNumber = 1,
  CauseNoRouteToNetwork = 2,
  CauseNoRouteToDestination = 3,
  CauseNormalClearing = 16,
  CauseUserBusy = 17,
  CauseNoUserResponding = 18,
  CauseNoAnswer = 19,
  CauseSubscriberAbsent = 20,
  CauseCallRejected = 21,
  CauseNumberChanged = 22,
  CauseRedirection = 23,
  CauseDestinationOutOfOrder = 27,
  CauseInvalidNumberFormat = 28,
  CauseNormalUnspecified = 31,
  CauseNoCircuit = 34,
  CauseNetworkOutOfOrder = 38,
  CauseTemporaryFailure = 41,
  CauseSwitchingCongestion = 42,
  CauseRequestedCircuitUnavailable = 44,
  CauseResourceUnavailable = 47,
  CauseBearerNotAuthorized = 57,
  CauseInvalidCallReference = 81,
  CauseIncompatibleDestination = 88,
  CauseTimerExpiry = 102,
};

}  // namespace

const char* H323CallEndReasons::CallEndReasonName(CallEndReason reason) {
  static const char* const kNames[] = {"EndedByLocalUser",
                                       "EndedByNoAccept",
                                       "EndedByAnswerDenied",
                                       "EndedByRemoteUser",
                                       "EndedByRefusal",
                                       "EndedByNoAnswer",
                                       "EndedByCallerAbort",
                                       "EndedByTransportFail",
                                       "EndedByConnectFail",
                                       "EndedByGatekeeper",
                                       "EndedByNoUser",
                                       "EndedByNoBandwidth",
                                       "EndedByCapabilityExchange",
                                       "EndedByCallForwarded",
                                       "EndedBySecurityDenial",
                                       "EndedByLocalBusy",
                                       "EndedByLocalCongestion",
                                       "EndedByRemoteBusy",
                                       "EndedByRemoteCongestion",
                                       "EndedByUnreachable",
                                       "EndedByNoEndPoint",
                                       "EndedByHostOffline",
                                       "EndedByTemporaryFailure",
                                       "EndedByQ931Cause",
                                       "EndedByDurationLimit",
                                       "EndedByInvalidConferenceID",
                                       "EndedByMediaFailed",
                                       "NumCallEndReasons"};
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == NumCallEndReasons + 1);
  if (reason < 0 || reason > NumCallEndReasons) return "?";
  return kNames[reason];
}

ReleaseCompleteFields ReleaseCompleteFor(E::CallEndReason reason) {
  switch (reason) {
    case E::EndedByNoAccept:
    case E::EndedByAnswerDenied:
    case E::EndedByRefusal: return {R::destinationRejection, CauseCallRejected};
    case E::EndedByNoAnswer: return {std::nullopt, CauseNoAnswer};
    case E::EndedByTransportFail:
    case E::EndedByConnectFail: return {R::unreachableDestination, CauseNetworkOutOfOrder};
    case E::EndedByGatekeeper: return {R::gatekeeperResources, CauseCallRejected};
    case E::EndedByNoUser: return {R::calledPartyNotRegistered, CauseUnallocatedNumber};
    case E::EndedByNoBandwidth: return {R::noBandwidth, CauseNoCircuit};
    case E::EndedByCapabilityExchange: return {R::undefinedReason, CauseIncompatibleDestination};
    case E::EndedByCallForwarded: return {R::facilityCallDeflection, CauseRedirection};
    case E::EndedBySecurityDenial: return {R::securityDenied, CauseCallRejected};
    case E::EndedByLocalBusy:
    case E::EndedByRemoteBusy: return {R::inConf, CauseUserBusy};
    case E::EndedByLocalCongestion:
    case E::EndedByRemoteCongestion: return {R::gatewayResources, CauseSwitchingCongestion};
    case E::EndedByUnreachable: return {R::unreachableDestination, CauseNoRouteToDestination};
    case E::EndedByNoEndPoint: return {R::unreachableDestination, CauseNoUserResponding};
    case E::EndedByHostOffline: return {R::unreachableDestination, CauseDestinationOutOfOrder};
    case E::EndedByTemporaryFailure: return {std::nullopt, CauseTemporaryFailure};
    case E::EndedByInvalidConferenceID: return {R::invalidCID, CauseInvalidCallReference};
    case E::EndedByMediaFailed: return {std::nullopt, CauseResourceUnavailable};
    case E::EndedByLocalUser:
    case E::EndedByRemoteUser:
    case E::EndedByCallerAbort:
    case E::EndedByDurationLimit:
    case E::EndedByQ931Cause:
    case E::NumCallEndReasons: break;
  }
  return {std::nullopt, CauseNormalClearing};
}

namespace {

std::optional<E::CallEndReason> FromCause(std::uint8_t cause) {
  switch (cause) {
    case CauseNormalClearing:
    case CauseNormalUnspecified: return std::nullopt;  // says nothing more: the reason may
    case CauseUnallocatedNumber:
    case CauseNumberChanged:
    case CauseInvalidNumberFormat: return E::EndedByNoUser;
    case CauseNoRouteToNetwork:
    case CauseNoRouteToDestination: return E::EndedByUnreachable;
    case CauseUserBusy: return E::EndedByRemoteBusy;
    case CauseNoUserResponding:
    case CauseNoAnswer:
    case CauseSubscriberAbsent: return E::EndedByNoAnswer;
    case CauseCallRejected:
    case CauseBearerNotAuthorized: return E::EndedByRefusal;
    case CauseRedirection: return E::EndedByCallForwarded;
    case CauseDestinationOutOfOrder: return E::EndedByHostOffline;
    case CauseNoCircuit:
    case CauseSwitchingCongestion:
    case CauseRequestedCircuitUnavailable:
    case CauseResourceUnavailable: return E::EndedByRemoteCongestion;
    case CauseNetworkOutOfOrder:
    case CauseTemporaryFailure:
    case CauseTimerExpiry: return E::EndedByTemporaryFailure;
    case CauseInvalidCallReference: return E::EndedByInvalidConferenceID;
    case CauseIncompatibleDestination: return E::EndedByCapabilityExchange;
    default: return E::EndedByQ931Cause;
  }
}

E::CallEndReason FromReason(std::uint16_t reason) {
  switch (reason) {
    case R::noBandwidth: return E::EndedByNoBandwidth;
    case R::gatekeeperResources:
    case R::unreachableGatekeeper:
    case R::callerNotRegistered: return E::EndedByGatekeeper;
    case R::unreachableDestination: return E::EndedByUnreachable;
    case R::destinationRejection:
    case R::noPermission: return E::EndedByRefusal;
    case R::gatewayResources: return E::EndedByRemoteCongestion;
    case R::badFormatAddress:
    case R::calledPartyNotRegistered: return E::EndedByNoUser;
    case R::adaptiveBusy:
    case R::inConf: return E::EndedByRemoteBusy;
    case R::facilityCallDeflection: return E::EndedByCallForwarded;
    case R::securityDenied:
    case R::securityError: return E::EndedBySecurityDenial;
    case R::invalidCID: return E::EndedByInvalidConferenceID;
    default: return E::EndedByRemoteUser;
  }
}

}  // namespace

E::CallEndReason EndReasonFromReleaseComplete(std::optional<std::uint8_t> cause, std::optional<std::uint16_t> reason) {
  if (cause)
    if (auto byCause = FromCause(*cause)) return *byCause;
  if (reason) return FromReason(*reason);
  return E::EndedByRemoteUser;
}

E::CallEndReason EndReasonFromAdmissionReject(std::uint16_t rejectReason) {
  using A = asn::h225::AdmissionRejectReason;
  switch (rejectReason) {
    case A::calledPartyNotRegistered:
    case A::incompleteAddress:
    case A::unallocatedNumber:
    case A::aliasesInconsistent: return E::EndedByNoUser;
    case A::noRouteToDestination:
    case A::routeCallToSCN: return E::EndedByUnreachable;
    case A::securityDenial:
    case A::securityError:
    case A::securityDHmismatch: return E::EndedBySecurityDenial;
    case A::exceedsCallCapacity:
    case A::resourceUnavailable: return E::EndedByRemoteCongestion;
    default: return E::EndedByGatekeeper;
  }
}

}  // namespace vantro::endpoint
