#include "flutter/engine_method_result.h"

#include <iostream>

namespace flutter {
namespace internal {

ReplyManager::ReplyManager(BinaryReply reply) : reply_(std::move(reply)) {}

ReplyManager::~ReplyManager() {
  if (reply_) {
    std::cerr << "Warning: Failed to respond to a message. This is a memory "
                 "leak."
              << std::endl;
  }
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
