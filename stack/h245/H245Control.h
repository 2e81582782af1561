#pragma once
// The H.245 procedures of one call, independent of how the messages travel (tunnelled in H.225.0
// messages or on an H.245 TCP connection of their own): capability exchange, master/slave
// determination, logical channel signalling, user input, round trip delay, end of session, and
// the answers H.245 requires to requests we do not support.
//
// The connection that owns it feeds every MultimediaSystemControlMessage it receives to
// HandleMessage and sends whatever the control hands to Owner::SendMessage. Everything runs on the
// owner's strand (the executor given at construction); the control's timers run there too and
// never outlive it. The control never throws on input: a message it cannot use is answered as
// H.245 says or dropped, and a procedure that fails for good ends in Owner::OnFailure.

#include "stack/asn/H323Values.h"
#include "stack/asn/Value.h"
#include "stack/endpoint/H323Capabilities.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantro::h245 {

// What the far end can receive, from its TerminalCapabilitySet.
struct RemoteCapabilities {
  struct Entry {
    unsigned number = 0;    // CapabilityTableEntryNumber
    asn::Value capability;  // the h245::Capability value
  };
  std::vector<Entry> table;
  // capabilityDescriptors: descriptor -> simultaneous capabilities -> alternative entry numbers
  std::vector<std::vector<std::vector<unsigned>>> descriptors;
  // An empty set (no capability table): the far end asks us to stop sending.
  bool empty = false;

  // The AudioCapability values the far end can receive (receiveAudioCapability and
  // receiveAndTransmitAudioCapability entries), in table order.
  std::vector<asn::Value> ReceiveAudio() const;
  // The first of our capabilities, in our table order, that the far end can receive, with the
  // far end's value for it (its frames per packet); nullopt when none.
  struct Match {
    std::shared_ptr<const endpoint::H323Capability> ours;
    asn::Value theirs;  // the far end's AudioCapability
  };
  std::optional<Match> FirstCommon(const endpoint::H323Capabilities& ours) const;
};

// A logical channel the far end asks to open towards us (its transmit channel).
struct IncomingChannel {
  unsigned number = 0;
  unsigned sessionID = 0;
  asn::Value audioCapability;                     // the AudioCapability of its dataType
  std::optional<asn::Ipv4Address> remoteControl;  // its mediaControlChannel (RTCP)
  std::optional<unsigned> payloadType;            // dynamicRTPPayloadType
};

// Our answer to it: accept with our RTP and RTCP addresses, or reject.
struct IncomingAnswer {
  bool accept = false;
  asn::Ipv4Address media;         // where the far end sends RTP
  asn::Ipv4Address control;       // our RTCP
  std::uint16_t rejectCause = 0;  // an OpenLogicalChannelReject.cause alternative
};

// A channel we open towards the far end (our transmit channel).
struct OutgoingChannel {
  unsigned sessionID = 1;
  asn::Value audioCapability;  // what we send, Direction::Transmit form
  asn::Ipv4Address control;    // our RTCP
};

class H245Control {
 public:
  // Implemented by the connection. Called on the strand; must not call back into the control
  // re-entrantly except through the operations listed below (OpenChannel, CloseChannel, ...).
  class Owner {
   public:
    virtual ~Owner() = default;
    // One MultimediaSystemControlMessage to send, in order.
    virtual void SendMessage(const asn::Value& message) = 0;
    // The far end's TerminalCapabilitySet arrived (and was acknowledged).
    virtual void OnRemoteCapabilities(const RemoteCapabilities& capabilities) = 0;
    // Both capability sets are acknowledged and master/slave is determined: channels may open.
    // Comes again after the far end withdrew its capabilities (an empty set, which closes our
    // channels) and then sent a new set: the procedures start over and channels open anew.
    virtual void OnControlReady(bool isMaster) = 0;
    virtual IncomingAnswer OnOpenChannel(const IncomingChannel& channel) = 0;
    // Our OpenLogicalChannel was acknowledged: where to send RTP and RTCP.
    virtual void OnChannelOpened(unsigned number, std::optional<asn::Ipv4Address> media,
                                 std::optional<asn::Ipv4Address> control, std::optional<unsigned> payloadType) = 0;
    virtual void OnChannelRejected(unsigned number) = 0;
    // A channel is gone: the far end closed its own, or asked us to close ours (which the control
    // has done), or our close was acknowledged.
    virtual void OnChannelClosed(unsigned number, bool byRemote) = 0;
    // One user input text (alphanumeric, or the character of a signal).
    virtual void OnUserInput(const std::string& text) = 0;
    // The far end sent EndSessionCommand.
    virtual void OnEndSession() = 0;
    // A procedure failed for good (capability set rejected, master/slave indeterminate after the
    // retries, a timer ran out): the call should be cleared.
    virtual void OnFailure(const std::string& why) = 0;
  };

  struct Settings {
    endpoint::H323Capabilities capabilities;
    unsigned terminalType = 50;  // an H.323 terminal
    // How long a request waits for its answer (H.245's T101, T103, T106, ...).
    std::chrono::milliseconds requestTimeout{10000};
    // Master/slave determination tries on an indeterminate result.
    int masterSlaveRetries = 3;
    // Where status determination numbers come from (24 bits are used); empty: a random generator.
    std::function<std::uint32_t()> randomNumber;
  };

  H245Control(asio::any_io_executor strand, Owner& owner, Settings settings);
  ~H245Control();
  H245Control(const H245Control&) = delete;
  H245Control& operator=(const H245Control&) = delete;

  // Sends our TerminalCapabilitySet and starts master/slave determination.
  void Start();
  // One received MultimediaSystemControlMessage.
  void HandleMessage(const asn::Value& message);

  // Opens a channel towards the far end; returns its number.
  unsigned OpenChannel(const OutgoingChannel& channel);
  // Closes one of our channels (CloseLogicalChannel), or asks the far end to close one of its own
  // (RequestChannelClose).
  void CloseChannel(unsigned number);
  void RequestChannelClose(unsigned number);
  // One UserInputIndication alphanumeric. A far end whose capabilities offer DTMF signals but no
  // strings gets one signal per key instead.
  void SendUserInput(const std::string& text);
  // Asks the far end for a RoundTripDelayResponse; no answer within the timeout is a failure.
  void SendRoundTripDelayRequest();
  // Sends EndSessionCommand (disconnect); nothing is sent afterwards.
  void SendEndSession();

  // While held, requests wait for their answers without a deadline; when released, each waiting
  // request has its full timeout again. For the capability set and master/slave determination
  // that go tunnelled in Setup: the callee may answer them only when the call is answered, and
  // their timers must not run out while it rings (hold from Start until Connect).
  void HoldTimeouts(bool hold);

  // A channel that fast start opened (weTransmit: ours, else the far end's), so that H.245 closes
  // it like the others and numbers our later channels around it.
  void AddFastStartChannel(unsigned number, bool weTransmit);

  bool IsStarted() const;
  bool IsReady() const;  // as OnControlReady
  bool IsMaster() const;
  const RemoteCapabilities* GetRemoteCapabilities() const;  // null until received
  // The last measured round trip delay, if any.
  std::optional<std::chrono::milliseconds> GetRoundTripDelay() const;
  // Messages that could not be handled (logged and dropped) since construction.
  std::size_t GetMalformedCount() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vantro::h245
