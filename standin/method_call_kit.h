// The test kit for plugin authors: method calls delivered through the
// stand-in engine as the application's side would make them, and their
// answers decoded.
//
//   standin::Engine engine;
//   auto registrar = engine.CreateRegistrar();
//   MyPluginRegisterWithRegistrar(registrar);
//   standin::MethodAnswer answer = standin::CallMethod(
//       engine, registrar, "my_channel", "echo", flutter::EncodableValue(1));
//   EXPECT_TRUE(answer.IsSuccess());
//   EXPECT_EQ(answer.value, flutter::EncodableValue(1));
//
// A handler that keeps its result answers later: ask again with AnswerOf.
#ifndef STANDIN_METHOD_CALL_KIT_H_
#define STANDIN_METHOD_CALL_KIT_H_

#include <string>

#include "flutter/encodable_value.h"
#include "flutter/method_codec.h"
#include "standin_engine.h"

namespace standin {

// What a plugin answered to one method call, so far.
struct MethodAnswer {
  enum class Kind {
    kSuccess,
    kError,
    kNotImplemented,
    kNoAnswerYet,  // the handler kept its result and has not answered
    kNoHandler,    // nothing handles the channel
    kUndecodable,  // the answer is not an envelope of the codec
  };

  Kind kind = Kind::kNoAnswerYet;
  flutter::EncodableValue value;  // the success value; null without one
  std::string code;               // the error's code and message
  std::string message;
  flutter::EncodableValue details;  // the error's details; null without
  MessageTicket ticket = 0;         // for AnswerOf

  bool IsSuccess() const { return kind == Kind::kSuccess; }
  bool IsError() const { return kind == Kind::kError; }
  bool IsNotImplemented() const { return kind == Kind::kNotImplemented; }
};

// Delivers the call of `method` with `arguments` on `channel` of
// `registrar`, encoded with `codec` (the standard one by default), and
// gives what the plugin answered by the time its handler returned.
MethodAnswer CallMethod(
    Engine& engine, FlutterDesktopPluginRegistrarRef registrar,
    const std::string& channel, const std::string& method,
    const flutter::EncodableValue& arguments = flutter::EncodableValue(),
    const flutter::MethodCodec<flutter::EncodableValue>* codec = nullptr);

// The answer to an earlier call, as it stands now.
MethodAnswer AnswerOf(
    const Engine& engine, MessageTicket ticket,
    const flutter::MethodCodec<flutter::EncodableValue>* codec = nullptr);

// Decodes a response the engine holds: empty bytes are "not implemented".
MethodAnswer DecodeAnswer(
    const Response& response,
    const flutter::MethodCodec<flutter::EncodableValue>* codec = nullptr);

}  // namespace standin

#endif  // STANDIN_METHOD_CALL_KIT_H_
