#pragma once

// Where the reader and the list report to the user: warning boxes and the one Yes/No question.
// The filter hands the reader a sink that shows real boxes; tests hand one that records.

#include <string>

namespace quillon {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A warning box with an OK button. Never waits for the user.
    virtual void warning(const std::string& caption, const std::string& text) = 0;
    // A warning question with Yes and No; true unless the answer was No. Never asked while the
    // filter holds a lock.
    virtual bool question(const std::string& caption, const std::string& text) = 0;
    // Shows the warnings still waiting, when called on the thread of the windows; the filter calls it
    // once its locks are released, so that no warning is lost when the host ends soon after.
    virtual void flush() {}
};

} // namespace quillon
