// KELMOR_NOINLINE keeps a rarely taken or recursive part of a hot function
// out of it, so that the common path saves no registers for it.
// KELMOR_INLINE puts a short leaf into its caller where the compiler would
// otherwise call it.
#ifndef CORE_NOINLINE_H_
#define CORE_NOINLINE_H_

#if defined(__GNUC__) || defined(__clang__)
#define KELMOR_NOINLINE __attribute__((noinline))
#define KELMOR_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define KELMOR_NOINLINE __declspec(noinline)
#define KELMOR_INLINE __forceinline
#else
#define KELMOR_NOINLINE
#define KELMOR_INLINE inline
#endif

#endif  // CORE_NOINLINE_H_
