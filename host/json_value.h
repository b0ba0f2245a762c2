// Method arguments written as JSON, turned into encodable values: objects
// become maps with string keys, whole numbers int32 or int64 by size.
#ifndef HOST_JSON_VALUE_H_
#define HOST_JSON_VALUE_H_

#include <string>

#include "flutter/encodable_value.h"

namespace kelmor_host {

// False, with a reason in `error`, when `text` is not JSON.
bool EncodableValueFromJson(const std::string& text,
                            flutter::EncodableValue* value, std::string* error);

}  // namespace kelmor_host

#endif  // HOST_JSON_VALUE_H_
