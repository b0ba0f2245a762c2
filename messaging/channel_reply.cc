#include "flutter/channel_reply.h"

#include <iostream>

namespace flutter {
namespace internal {

void ReportUndecodableCall(const std::string& channel_name) {
  std::cerr << "Unable to construct method call from message on channel "
            << channel_name << std::endl;
}

void ReportUndecodableMessage(const std::string& channel_name) {
  std::cerr << "Unable to decode message on channel " << channel_name
            << std::endl;
}

}  // namespace internal
}  // namespace flutter
