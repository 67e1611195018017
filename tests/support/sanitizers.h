// Whether the tests run under AddressSanitizer, which reserves far more address space than a
// test's memory limit allows: such tests skip themselves there.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_ADDRESS_SANITIZER 1
#endif
#endif
