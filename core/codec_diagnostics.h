// Diagnostic lines shared by the byte streams and the serializer.
#ifndef CORE_CODEC_DIAGNOSTICS_H_
#define CORE_CODEC_DIAGNOSTICS_H_

namespace flutter {
namespace internal {

// "Invalid read in StandardCodecByteStreamReader", one line on std::cerr.
void ReportInvalidRead();

}  // namespace internal
}  // namespace flutter

#endif  // CORE_CODEC_DIAGNOSTICS_H_
