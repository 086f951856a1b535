#pragma once

// A message sink that records every box and answers questions from a preset answer.

#include "quillon/message_sink.h"

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

class RecordingSink final : public MessageSink {
public:
    void warning(const std::string& caption, const std::string& text) override {
        std::lock_guard lock(mutex_);
        warnings.push_back(caption + ": " + text);
    }
    bool question(const std::string& caption, const std::string& text) override {
        {
            std::lock_guard lock(mutex_);
            questions.push_back(caption + ": " + text);
        }
        if (onQuestion)
            onQuestion();
        return answer;
    }
    std::vector<std::string> takeWarnings() {
        std::lock_guard lock(mutex_);
        return std::exchange(warnings, {});
    }

    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    bool answer = true;
    // Runs while the question is asked (as the user takes time to answer).
    std::function<void()> onQuestion;

private:
    std::mutex mutex_;
};

} // namespace quillon::test
