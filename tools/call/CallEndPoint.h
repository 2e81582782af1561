#pragma once
// vantro-call's endpoint: the stack's endpoint whose callbacks become ToolEvents for the main
// thread. Calling, it refuses incoming calls; answering, it answers them at once or lets them ring
// until the main thread answers (--answer-delay).

#include "stack/endpoint/H323EndPoint.h"
#include "tools/call/EventQueue.h"

namespace vantro::tool {

class CallEndPoint : public endpoint::H323EndPoint {
 public:
  enum class Answering { Refuse, AtOnce, AfterRinging };

  CallEndPoint(EventQueue& events, Answering answering) : events_(events), answering_(answering) {}
  ~CallEndPoint() override { Shutdown(); }

  void OnConnectionCleared(endpoint::H323Connection& connection, const std::string& token) override;
  AnswerCallResponse OnAnswerCall(endpoint::H323Connection& connection, const std::string& caller,
                                  const q931::Q931Message& setupPDU) override;
  void OnUserInputString(endpoint::H323Connection& connection, const std::string& value) override;
  void OnClosedLogicalChannel(endpoint::H323Connection& connection, endpoint::H323Channel& channel) override;
  void OnCallEvent(endpoint::H323Connection& connection, CallEvent event, const std::string& detail) override;

 private:
  EventQueue& events_;
  const Answering answering_;
};

}  // namespace vantro::tool
