#include "tests/stack/h245/H245CaptureVectors.h"

namespace vantro::test {

const CaptureVector kPeerCapabilitySet = {
    "noTunnel frame 37 terminalCapabilitySet",
    "0270010600088175000f80138000fa000100000100000100000cc0010001800480000020c0138000018301508000028301108000038301"
    "408000048a061404302d31360080010200000000000102000200030004"};
const CaptureVector kPeerCapabilitySetALaw = {
    "g711 frame 31 terminalCapabilitySet",
    "0270010600088175000f80138000fa000100000100000100000cc0010001800580000020401380000120c0138000028301508000038301"
    "108000048301408000058a061404302d313600800102010000000100000202000300040005"};
const CaptureVector kPeerMasterSlave = {"noTunnel frame 39 masterSlaveDetermination", "010032806a8ee4"};
const CaptureVector kPeerCapabilitySetAck = {"noTunnel frame 53 terminalCapabilitySetAck", "218001"};
const CaptureVector kPeerMasterSlaveAckMaster = {"noTunnel frame 60 masterSlaveDeterminationAck master", "2080"};
const CaptureVector kPeerMasterSlaveAckSlave = {"noTunnel frame 59 masterSlaveDeterminationAck slave", "20a0"};
const CaptureVector kPeerOpenChannel = {"noTunnel frame 63 openLogicalChannel",
                                        "030000640c601380188d0001007f000001138900800b300080b080018001fc0040"};
const CaptureVector kPeerOpenChannelALaw = {"g711 frame 51 openLogicalChannel",
                                            "030000640c201380188d0001007f000001138900800b300080b080018001fc0040"};
const CaptureVector kPeerOpenChannelAck = {"noTunnel frame 67 openLogicalChannelAck",
                                           "22c000640280135c00007f0000011388007f0000011389010100"};
const CaptureVector kPeerEndSession = {"noTunnel frame 381 endSessionCommand", "4a40"};
const std::vector<CaptureVector> kPeerUserInput = {{"direct frame 135 userInput 1", "6d400131"},
                                                   {"direct frame 168 userInput 2", "6d400132"},
                                                   {"direct frame 200 userInput 3", "6d400133"},
                                                   {"direct frame 232 userInput #", "6d400123"},
                                                   {"noTunnel frame 177 userInput 9", "6d400139"}};

// In the order of the messages' fastStart elements.
const std::vector<CaptureVector> kPeerFastStartProposals = {
    {"faststart frame 14 receive proposal",
     "400000060401004c6013801e9c0001007f00000113ec007f00000113ed010b300080b080018001fc0040"},
    {"faststart frame 14 transmit proposal", "0000640c601380188d0001007f00000113ed00800b300080b080018001fc0040"}};
const std::vector<CaptureVector> kPeerFastStartAnswer = {
    {"faststart frame 29 reverse answer", "400064060401004c601380188d0001007f000001138900800b300080b080018001fc0040"},
    {"faststart frame 29 forward answer",
     "0000640c6013801e9c0001007f0000011388007f0000011389010b300080b080018001fc0040"}};

}  // namespace vantro::test
