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
    // A warning question with Yes and No; true unless the answer was No.
    virtual bool question(const std::string& caption, const std::string& text) = 0;
};

} // namespace quillon
