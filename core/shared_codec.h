// The one codec of a kind that each serializer gets, for the codecs'
// GetInstance.
#ifndef CORE_SHARED_CODEC_H_
#define CORE_SHARED_CODEC_H_

#include <map>
#include <memory>
#include <mutex>

#include "flutter/standard_codec_serializer.h"

namespace flutter {
namespace internal {

// The codec that `make` (a serializer pointer to a new Codec) made for
// `serializer`, the default one when null; made on first use. Never
// destroyed: codecs handed out must outlive every plugin. The lock makes
// concurrent first calls for new serializers safe.
template <typename Codec, typename Make>
const Codec& SharedCodec(const StandardCodecSerializer* serializer,
                         const Make& make) {
  if (serializer == nullptr) {
    serializer = &StandardCodecSerializer::GetInstance();
  }
  static auto* codecs =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<Codec>>();
  static auto* codecs_mutex = new std::mutex();
  std::lock_guard<std::mutex> lock(*codecs_mutex);
  auto& codec = (*codecs)[serializer];
  if (!codec) codec.reset(make(serializer));
  return *codec;
}

}  // namespace internal
}  // namespace flutter

#endif  // CORE_SHARED_CODEC_H_
