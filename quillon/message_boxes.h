#pragma once

// The message sink of the filter: real message boxes. Warnings are handed to the thread of the
// application's windows and shown from its event loop, so that a read on a worker thread, which holds
// the filter's lock, never waits for the user. The question is asked only on that thread.

#include "quillon/message_sink.h"

namespace quillon {

class MessageBoxes final : public MessageSink {
public:
    void warning(const std::string& caption, const std::string& text) override;
    // Off the window thread, or without an application, nobody can answer: the load goes on.
    bool question(const std::string& caption, const std::string& text) override;
};

// The one instance the filters of this module use.
MessageSink& messageBoxes();

} // namespace quillon
