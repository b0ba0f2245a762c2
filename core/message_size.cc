#include "message_size.h"

#include <algorithm>

namespace flutter {
namespace internal {

namespace {

// Elements sized exactly before the rest are taken to be like them.
constexpr size_t kSampled = 16;

size_t PrefixLength(size_t count) {
  if (count < kSizeUint16Marker) return 1;
  return count <= 0xFFFF ? 3 : 5;
}

template <typename Container, typename SizeOfElement>
size_t ContainerEnd(const Container& container, size_t offset,
                    SizeOfElement size_of) {
  offset += 1 + PrefixLength(container.size());
  const size_t start = offset;
  size_t sampled = 0;
  for (auto it = container.begin(); it != container.end() && sampled < kSampled;
       ++it, ++sampled) {
    offset = size_of(*it, offset);
  }
  if (sampled == container.size()) return offset;
  const size_t per_element = (offset - start) / sampled + 1;
  return start + per_element * container.size();
}

}  // namespace

size_t EstimatedEnd(const StandardCodecSerializer& serializer,
                    const EncodableValue& value, size_t offset) {
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    return ContainerEnd(*list, offset,
                        [&](const EncodableValue& element, size_t at) {
                          return EstimatedEnd(serializer, element, at);
                        });
  }
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    return ContainerEnd(
        *map, offset, [&](const EncodableMap::value_type& entry, size_t at) {
          return EstimatedEnd(serializer, entry.second,
                              EstimatedEnd(serializer, entry.first, at));
        });
  }
  return serializer.EncodedEnd(value, offset);
}

}  // namespace internal
}  // namespace flutter
