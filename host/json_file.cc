#include "json_file.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "json_value.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "utf16_text.h"
#endif

namespace kelmor_host {

namespace {

constexpr size_t kChunkBytes = size_t{1} << 16;

std::string ReasonOf(int error_number) { return std::strerror(error_number); }

}  // namespace

bool ReadJsonStream(std::FILE* stream, std::string* text, std::string* error) {
  std::string read;
  std::vector<char> chunk(kChunkBytes);
  for (;;) {
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), stream);
    // The first chunk past the limit ends the read: a stream may never end.
    if (got > kMaxJsonTextBytes - read.size()) {
      *error = JsonTooLongError();
      return false;
    }
    read.append(chunk.data(), got);
    if (got < chunk.size()) break;  // the end, or an error
  }
  if (std::ferror(stream)) {
    *error = ReasonOf(errno);
    return false;
  }
  *text = std::move(read);
  return true;
}

bool ReadJsonFile(const std::string& path, std::string* text,
                  std::string* error) {
  const bool standard_input = path == kStandardInputPath;
  const std::string name = standard_input ? "standard input" : path;
  std::FILE* stream = stdin;
  if (standard_input) {
#ifdef _WIN32
    // Text mode would end the text at a Ctrl-Z and drop carriage returns.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
  } else {
#ifdef _WIN32
    stream = _wfopen(WideFromUtf8(path).c_str(), L"rb");
#else
    stream = std::fopen(path.c_str(), "rb");
#endif
    if (stream == nullptr) {
      *error = "cannot read " + name + ": " + ReasonOf(errno);
      return false;
    }
  }
  std::string reason;
  const bool read = ReadJsonStream(stream, text, &reason);
  // A text over the limit reads as it does on the command line; a failed
  // read names what failed.
  if (!read) {
    *error =
        std::ferror(stream) ? "cannot read " + name + ": " + reason : reason;
  }
  if (!standard_input) std::fclose(stream);
  return read;
}

}  // namespace kelmor_host
