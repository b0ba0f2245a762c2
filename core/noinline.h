// KELMOR_NOINLINE keeps a rarely taken or recursive part of a hot function
// out of it, so that the common path saves no registers for it.
#ifndef CORE_NOINLINE_H_
#define CORE_NOINLINE_H_

#if defined(__GNUC__) || defined(__clang__)
#define KELMOR_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define KELMOR_NOINLINE __declspec(noinline)
#else
#define KELMOR_NOINLINE
#endif

#endif  // CORE_NOINLINE_H_
