// A stand-in for the outside subtitle filter: a shared object whose registration succeeds and counts
// its calls, so that the registration test sees the filter loaded once and registered each time.
#include <cstdint>

namespace {
int registrations = 0;
}

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer() {
    ++registrations;
    return 0;
}

extern "C" __attribute__((visibility("default"))) int fakeRegistrationCount() {
    return registrations;
}
