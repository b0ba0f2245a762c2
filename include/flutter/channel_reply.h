// How a channel's message handler answers the message it was given: with
// encoded bytes, with one error envelope when the code it called threw
// before answering, and the line it writes when the message does not decode.
//
//   flutter::internal::SendReply(reply, codec->EncodeSuccessEnvelope().get());
//
// Failure: an exception from the codec or the reply while answering a thrown
// call stops here as the line "Exception in error reply on channel ", the
// name, ": " and its text; the message then gets an empty reply, or none.
// Threads: whichever thread holds the reply; the reply itself is one-shot.
#ifndef FLUTTER_CHANNEL_REPLY_H_
#define FLUTTER_CHANNEL_REPLY_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "flutter/binary_messenger.h"
#include "flutter/callback_guard.h"
#include "flutter/method_codec.h"

namespace flutter {

// The error code of the answer to a call whose handler threw before
// answering; the message is the exception's text.
inline constexpr char kUncaughtExceptionCode[] = "uncaught_exception";

namespace internal {

// "Unable to construct method call from message on channel " and the name,
// for a message that does not decode as a method call.
void ReportUndecodableCall(const std::string& channel_name);

// "Unable to decode message on channel " and the name, for a message that
// does not decode as a value.
void ReportUndecodableMessage(const std::string& channel_name);

// Calls `reply` with `bytes` (null or empty: no bytes).
inline void CallReply(const BinaryReply& reply,
                      const std::vector<uint8_t>* bytes) {
  if (bytes != nullptr && !bytes->empty()) {
    reply(bytes->data(), bytes->size());
  } else {
    reply(nullptr, 0);
  }
}

// Calls `reply` with `bytes` as CallReply does, leaving `reply` empty before
// the call, so that a failure after it knows the message was answered.
inline void SendReply(BinaryReply& reply, const std::vector<uint8_t>* bytes) {
  const BinaryReply taken = std::move(reply);
  reply = nullptr;
  CallReply(taken, bytes);
}

// Answers, once, a call whose handler on `channel` threw with `text` before
// answering: the error kUncaughtExceptionCode, or an empty reply when not
// even that can be encoded. An empty `reply` is left alone.
template <typename T>
void AnswerUncaughtException(BinaryReply reply, const MethodCodec<T>& codec,
                             const std::string& channel,
                             const std::string& text) noexcept {
  if (!reply) return;
  std::unique_ptr<std::vector<uint8_t>> envelope;
  try {
    envelope = codec.EncodeErrorEnvelope(kUncaughtExceptionCode, text);
  } catch (...) {
    ReportException("error reply on channel ", channel, CaughtExceptionText());
  }
  try {
    SendReply(reply, envelope.get());
  } catch (...) {
    ReportException("error reply on channel ", channel, CaughtExceptionText());
  }
}

}  // namespace internal
}  // namespace flutter

#endif  // FLUTTER_CHANNEL_REPLY_H_
