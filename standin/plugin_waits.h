// Waits for work a plugin does later or on other threads: the answer to a
// call whose handler kept its result, and the messages it sends. Each wait
// runs the engine's thread meanwhile (standin/message_loop.h), so it must
// be called on the thread that made the registrar.
//
//   const auto ticket = standin::CallMethod(engine, registrar, "c",
//   "m").ticket; standin::AnswerWait waited =
//       standin::WaitForAnswer(engine, ticket, std::chrono::seconds(5));
//   ASSERT_TRUE(waited.answer) << waited.failure;
//   EXPECT_TRUE(waited.answer->IsSuccess());
//
// The kit does not link GoogleTest: a wait that times out gives no value and
// a line saying what it waited for and what came, which the test asserts
// on as above, so the failure names the wait.
#ifndef STANDIN_PLUGIN_WAITS_H_
#define STANDIN_PLUGIN_WAITS_H_

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "flutter/encodable_value.h"
#include "flutter/method_codec.h"
#include "method_call_kit.h"
#include "standin_engine.h"

namespace standin {

// What WaitForAnswer gave: the answer, or none and why.
struct AnswerWait {
  std::optional<MethodAnswer> answer;
  std::string failure;  // empty when the answer came
};

// Runs the engine's thread until the call of `ticket` is answered, or can
// no longer be (nothing handles its channel), or `timeout` passes.
AnswerWait WaitForAnswer(
    Engine& engine, MessageTicket ticket, std::chrono::milliseconds timeout,
    const flutter::MethodCodec<flutter::EncodableValue>* codec = nullptr);

// What WaitForSends gave: every send so far, and whether there were enough.
struct SendsWait {
  bool reached = false;
  std::vector<SentMessage> sends;  // engine.Sends() as the wait ended
  std::string failure;             // empty when reached
};

// Runs the engine's thread until the engine holds at least `count` sends
// (engine.Sends(), from the start of the engine), or `timeout` passes.
SendsWait WaitForSends(Engine& engine, size_t count,
                       std::chrono::milliseconds timeout);

}  // namespace standin

#endif  // STANDIN_PLUGIN_WAITS_H_
