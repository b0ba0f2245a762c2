// JSON texts read from a file or standard input, for "@PATH" arguments, held
// to the command line's length limit (kMaxJsonTextBytes in json_value.h)
// without ever holding more than that in memory.
#ifndef HOST_JSON_FILE_H_
#define HOST_JSON_FILE_H_

#include <cstdio>
#include <string>

namespace kelmor_host {

// The path that names standard input.
inline constexpr char kStandardInputPath[] = "-";

// Reads `stream` to its end, byte for byte. False, with a one-line reason in
// `error` and `text` untouched, when a read fails or the stream holds more
// than kMaxJsonTextBytes; it then reads at most 64 KiB past the limit, so
// that an endless stream is refused too.
bool ReadJsonStream(std::FILE* stream, std::string* text, std::string* error);

// The file at `path`, in UTF-8, or standard input for kStandardInputPath
// (in binary mode on Windows too), read as ReadJsonStream does. A failure to
// open or read names the path, e.g. "cannot read a.json: No such file or
// directory".
bool ReadJsonFile(const std::string& path, std::string* text,
                  std::string* error);

}  // namespace kelmor_host

#endif  // HOST_JSON_FILE_H_
