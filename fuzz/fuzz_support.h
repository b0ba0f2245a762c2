// Shared by the fuzz targets: quiet diagnostics and a hard failure that
// libFuzzer reports with the input that caused it.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

namespace kelmor_fuzz {

// Diagnostics on bad input are expected by the thousand; they go nowhere.
void SilenceDiagnostics();

// Aborts with `what` when `condition` is false.
void Require(bool condition, const char* what);

}  // namespace kelmor_fuzz

#endif  // FUZZ_FUZZ_SUPPORT_H_
