#include "flutter/engine_method_result.h"

#include <exception>
#include <iostream>

namespace flutter {
namespace internal {

namespace {

// The rescues of the channel calls running on this thread, innermost first.
thread_local ReplyRescue* innermost_rescue = nullptr;

void WarnUnanswered() {
  std::cerr << "Warning: Failed to respond to a message. This is a memory "
               "leak."
            << std::endl;
}

}  // namespace

ReplyRescue::ReplyRescue()
    : uncaught_(std::uncaught_exceptions()), outer_(innermost_rescue) {
  innermost_rescue = this;
}

ReplyRescue::~ReplyRescue() {
  innermost_rescue = outer_;
  if (reply_) WarnUnanswered();
}

void ReplyManager::GiveBackIfUnwinding(const void* owner) {
  if (!reply_) return;
  for (ReplyRescue* rescue = innermost_rescue; rescue;
       rescue = rescue->outer_) {
    if (rescue->result_ != owner) continue;
    rescue->result_ = nullptr;  // its address may be reused
    if (std::uncaught_exceptions() > rescue->uncaught_) {
      rescue->reply_ = std::move(reply_);
      reply_ = nullptr;
    }
    return;
  }
}

ReplyManager::ReplyManager(BinaryReply reply) : reply_(std::move(reply)) {}

ReplyManager::~ReplyManager() {
  if (reply_) WarnUnanswered();
}

void ReplyManager::DeliverReply(const std::vector<uint8_t>* data) {
  if (!reply_) {
    std::cerr << "Error: Only one of Success, Error, or NotImplemented can be "
                 "called,"
              << " and it can be called exactly once. Ignoring duplicate "
                 "result."
              << std::endl;
    return;
  }
  const uint8_t* bytes =
      (data != nullptr && !data->empty()) ? data->data() : nullptr;
  const size_t size = data != nullptr ? data->size() : 0;
  BinaryReply reply = std::move(reply_);
  reply_ = nullptr;
  reply(bytes, size);
}

}  // namespace internal
}  // namespace flutter
