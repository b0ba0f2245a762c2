#include "message_size.h"

namespace flutter {
namespace internal {

namespace {

// Elements sized exactly before the rest are taken to be like them.
constexpr size_t kSampled = 16;

// Room for `rest` elements like the sampled ones, which took `taken` bytes:
// their mean, rounded up, and a quarter more, since running short costs a
// copy of everything written so far while room left over costs only
// address space. Never more than kMaxGuess.
size_t RestGuess(size_t taken, size_t sampled, size_t rest) {
  const size_t mean = (taken + sampled - 1) / sampled;
  const size_t per_element = mean + mean / 4;
  if (per_element != 0 && rest > kMaxGuess / per_element) return kMaxGuess;
  return per_element * rest;
}

// A list or map sized from its first elements, exactly; the rest are taken
// to be like them.
template <typename Container, typename SizeOfElement>
size_t ContainerEnd(const Container& container, size_t offset,
                    SizeOfElement size_of, bool* guessed) {
  offset += 1 + PrefixLength(container.size());
  const size_t start = offset;
  size_t sampled = 0;
  for (auto it = container.begin(); it != container.end() && sampled < kSampled;
       ++it, ++sampled) {
    offset = size_of(*it, offset);
  }
  if (sampled == container.size()) return offset;
  *guessed = true;
  return offset +
         RestGuess(offset - start, sampled, container.size() - sampled);
}

}  // namespace

size_t EstimatedEnd(const StandardCodecSerializer& serializer,
                    const EncodableValue& value, size_t offset, bool* guessed) {
  // The sampled elements of a large container are sized exactly, so that
  // guesses do not build on guesses.
  const auto exact = [&](const EncodableValue& element, size_t at) {
    return serializer.EncodedEnd(element, at);
  };
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    if (list->size() > kSampled) {
      return ContainerEnd(*list, offset, exact, guessed);
    }
    return ContainerEnd(
        *list, offset,
        [&](const EncodableValue& element, size_t at) {
          return EstimatedEnd(serializer, element, at, guessed);
        },
        guessed);
  }
  if (const auto* map = std::get_if<EncodableMap>(&value)) {
    const bool large = map->size() > kSampled;
    return ContainerEnd(
        *map, offset,
        [&](const EncodableMap::value_type& entry, size_t at) {
          if (large) return exact(entry.second, exact(entry.first, at));
          const size_t key_end =
              EstimatedEnd(serializer, entry.first, at, guessed);
          return EstimatedEnd(serializer, entry.second, key_end, guessed);
        },
        guessed);
  }
  return serializer.EncodedEnd(value, offset);
}

}  // namespace internal
}  // namespace flutter
