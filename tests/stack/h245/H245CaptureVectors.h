#pragma once
// H.245 messages and fast start elements of real peers (an open-source endpoint library's phone,
// through an open-source gatekeeper), taken from captured calls.

#include "tests/stack/CaptureVectors.h"

namespace vantro::test {

// MultimediaSystemControlMessage, as sent on a separate H.245 connection or tunnelled.
extern const CaptureVector kPeerCapabilitySet;         // G.711 µ-law, user input, RFC 2833; sequence 1
extern const CaptureVector kPeerCapabilitySetALaw;     // G.711 A-law and µ-law
extern const CaptureVector kPeerMasterSlave;           // terminal type 50, number 6983396
extern const CaptureVector kPeerCapabilitySetAck;      // sequence 1
extern const CaptureVector kPeerMasterSlaveAckMaster;  // "you are master"
extern const CaptureVector kPeerMasterSlaveAckSlave;   // "you are slave"
extern const CaptureVector kPeerOpenChannel;           // channel 101, G.711 µ-law 20, RTCP 127.0.0.1:5001
extern const CaptureVector kPeerOpenChannelALaw;       // channel 101, G.711 A-law 20, RTCP 127.0.0.1:5001
extern const CaptureVector kPeerOpenChannelAck;        // channel 101, RTP 127.0.0.1:5000, RTCP 127.0.0.1:5001
extern const CaptureVector kPeerEndSession;
// UserInputIndication alphanumeric: the keys 1 2 3 # 9 in turn.
extern const std::vector<CaptureVector> kPeerUserInput;

// OpenLogicalChannel elements of fastStart (caller RTP/RTCP 127.0.0.1:5100/5101, callee 5000/5001).
extern const std::vector<CaptureVector> kPeerFastStartProposals;  // Setup: receive on 1, transmit on 101
extern const std::vector<CaptureVector> kPeerFastStartAnswer;     // Connect: callee transmits on 101, receives on 101

}  // namespace vantro::test
