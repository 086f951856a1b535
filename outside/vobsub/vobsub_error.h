#pragma once

#include <stdexcept>

namespace outside::vobsub {

// Whatever stops an extraction: bad settings, a damaged IFO or VOB, a file that cannot be written.
// The text is the message the user sees.
class VobSubError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace outside::vobsub
