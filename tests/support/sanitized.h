#pragma once

// Whether this test is built with a sanitizer (the "asan" and "tsan" trees), which makes the code
// several times slower and lets threads fall further behind one another: timing tolerances of a test
// widen with it, and nothing else.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KES_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KES_TEST_SANITIZED 1
#endif
#endif

namespace kes::test {

#ifdef KES_TEST_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

} // namespace kes::test
