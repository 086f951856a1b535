#pragma once

// The message sink of the filter: the platform's message boxes. Warnings wait in a queue and are
// shown on the thread of the application's windows, from its event loop or when the filter flushes
// them after releasing its locks, so that a read on a worker thread, which holds the filter's lock,
// never waits for the user. The question is asked only on that thread.

#include "quillon/message_sink.h"

#include <mutex>
#include <utility>
#include <vector>

namespace quillon {

class MessageBoxes final : public MessageSink {
public:
    void warning(const std::string& caption, const std::string& text) override;
    // Off the window thread, or without an application, nobody can answer: the load goes on.
    bool question(const std::string& caption, const std::string& text) override;
    void flush() override;

private:
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> pending_; // caption, text
};

// The one instance the filters of this module use.
MessageSink& messageBoxes();

} // namespace quillon
