#pragma once

// TEV_WITH_FMA_BUILD before a function: on x86-64 it is built twice, for the baseline and for
// processors with AVX2 and fused multiply-adds, and the loader picks one. The two differ only in
// rounding. Sanitizer builds keep one version: the choice runs before their runtime is ready.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TEV_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TEV_SANITIZED 1
#endif

#if defined(__x86_64__) && !defined(TEV_SANITIZED)
#define TEV_WITH_FMA_BUILD __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define TEV_WITH_FMA_BUILD
#endif
