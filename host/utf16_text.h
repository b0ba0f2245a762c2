// UTF-8, the host's own encoding, to and from the UTF-16 of the Windows wide
// API, for the command line, file names and system messages. Windows only.
// Invalid input is not refused: each bad sequence becomes U+FFFD.
#ifndef HOST_UTF16_TEXT_H_
#define HOST_UTF16_TEXT_H_

#ifdef _WIN32

#include <cstddef>
#include <string>

namespace kelmor_host {

std::wstring WideFromUtf8(const std::string& text);

// `length` UTF-16 units from `text`, which need not end in a null.
std::string Utf8FromWide(const wchar_t* text, size_t length);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace kelmor_host

#endif  // _WIN32

#endif  // HOST_UTF16_TEXT_H_
