// EngineMethodResult: the MethodResult for a call that came from the engine.
// It encodes the answer with the channel's codec and passes the bytes to the
// message's BinaryReply.
//
// A second answer writes "Error: Only one of Success, Error, or
// NotImplemented can be called, and it can be called exactly once. Ignoring
// duplicate result." and sends nothing. A result destroyed unanswered writes
// "Warning: Failed to respond to a message. This is a memory leak." and the
// message never gets a reply.
//
// Threads: any thread, one at a time; the reply it answers through may be
// called from any thread.
#ifndef FLUTTER_ENGINE_METHOD_RESULT_H_
#define FLUTTER_ENGINE_METHOD_RESULT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flutter/binary_messenger.h"
#include "flutter/method_codec.h"
#include "flutter/method_result.h"

namespace flutter {

namespace internal {

// Holds a reply until its one answer, and reports answers beyond it.
class ReplyManager {
 public:
  explicit ReplyManager(BinaryReply reply);
  ~ReplyManager();

  ReplyManager(const ReplyManager&) = delete;
  ReplyManager& operator=(const ReplyManager&) = delete;

  // Sends `data` (null or empty: no bytes) if no answer was sent yet.
  void DeliverReply(const std::vector<uint8_t>* data);

  // When the result `owner` is destroyed unanswered by an exception from the
  // handler it was given to, its reply goes back to the channel that made
  // it (see ReplyRescue) instead of being dropped with a warning.
  void GiveBackIfUnwinding(const void* owner);

 private:
  BinaryReply reply_;
};

// Set up by a channel around one call of its handler: if the result it
// watches is destroyed unanswered by an exception from that handler, the
// reply comes back here, so that the channel can answer the call once with
// an error. A reply given back but not taken is dropped with the usual
// unanswered-result warning.
class ReplyRescue {
 public:
  ReplyRescue();
  ~ReplyRescue();

  ReplyRescue(const ReplyRescue&) = delete;
  ReplyRescue& operator=(const ReplyRescue&) = delete;

  void Watch(const void* result) { result_ = result; }

  // The reply given back, or an empty one: the result answered, or it lives
  // on elsewhere and may still answer.
  BinaryReply TakeReply() { return std::move(reply_); }

 private:
  friend class ReplyManager;

  const void* result_ = nullptr;
  int uncaught_;
  BinaryReply reply_;
  ReplyRescue* outer_;
};

}  // namespace internal

template <typename T>
class EngineMethodResult : public MethodResult<T> {
 public:
  // `codec` is borrowed and must outlive the result.
  EngineMethodResult(BinaryReply reply, const MethodCodec<T>* codec)
      : reply_manager_(std::move(reply)), codec_(codec) {}

  ~EngineMethodResult() override { reply_manager_.GiveBackIfUnwinding(this); }

 protected:
  void HandleSuccess(const T* result) override {
    const auto data = codec_->EncodeSuccessEnvelope(result);
    reply_manager_.DeliverReply(data.get());
  }

  void HandleError(const std::string& error_code,
                   const std::string& error_message,
                   const T* error_details) override {
    const auto data =
        codec_->EncodeErrorEnvelope(error_code, error_message, error_details);
    reply_manager_.DeliverReply(data.get());
  }

  void HandleNotImplemented() override { reply_manager_.DeliverReply(nullptr); }

 private:
  internal::ReplyManager reply_manager_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // FLUTTER_ENGINE_METHOD_RESULT_H_
