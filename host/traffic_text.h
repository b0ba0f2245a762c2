// The lines the host prints about the engine's traffic: the reply to each
// call it delivers, and each message the plugin sends to the application
// side. Values print as value_text.h writes them.
//
//   getPlatformVersion: success "Windows 10+"
//   application call on "test": question {"a": 1}
#ifndef HOST_TRAFFIC_TEXT_H_
#define HOST_TRAFFIC_TEXT_H_

#include <string>

#include "standin_engine.h"

namespace kelmor_host {

// How one delivered call was answered, so far.
struct ReplyText {
  bool success = false;  // answered, with a success envelope
  // What follows "METHOD: ": "success VALUE", "error code=.. message=..
  // details=..", "not implemented", "no reply", "no handler on the channel"
  // or "undecodable reply" and the bytes in hex.
  std::string line;
};

ReplyText DescribeResponse(const standin::Response& response);

// One message the plugin sent through the engine.
struct SentText {
  bool method_call = false;  // it decodes as a call of the standard codec
  // `application call on "CHANNEL": NAME VALUE`, with " (no reply wanted)"
  // when it was sent without a reply; for any other message
  // `application message on "CHANNEL": undecodable, N bytes: HEX`.
  std::string line;
};

SentText DescribeSent(const standin::SentMessage& message);

// A method name as the application-call line prints it: bare, or quoted
// when it is empty or has spaces, quotes, backslashes or control characters.
std::string MethodNameText(const std::string& name);

}  // namespace kelmor_host

#endif  // HOST_TRAFFIC_TEXT_H_
