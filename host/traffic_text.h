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

// One message the plugin sent through the engine. The bytes must be the
// standard encoding exactly, with nothing cut short and nothing after:
//   a string and one more value: a method call
//     `application call on "CHANNEL": NAME VALUE`, with " (no reply wanted)"
//     when it was sent without a reply;
//   one value: a plain message `message on "CHANNEL": VALUE`;
//   a success or error envelope: an event
//     `event on "CHANNEL": VALUE` or
//     `event on "CHANNEL": error code="CODE" message="MESSAGE" details=VALUE`;
//   no bytes: `event on "CHANNEL": end of stream`;
// anything else `application message on "CHANNEL": undecodable, N bytes:
// HEX`. The forms cannot be mistaken for one another: an envelope starts
// with a flag byte that no string starts with, and one whole value leaves
// nothing for a second.
struct SentText {
  bool method_call = false;
  std::string method;  // a method call's name
  bool end_of_stream = false;
  std::string line;
};

SentText DescribeSent(const standin::SentMessage& message);

// A method name as the application-call line prints it: bare, or quoted
// when it is empty or has spaces, quotes, backslashes or control characters.
std::string MethodNameText(const std::string& name);

}  // namespace kelmor_host

#endif  // HOST_TRAFFIC_TEXT_H_
