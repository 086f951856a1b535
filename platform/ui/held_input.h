#pragma once

// Keeping windows alive during a long wait that lets the whole event queue run only now and then:
// pending events are handled (paints, timers, window-system requests), except the user's input
// (clicks, keys, wheel turns, close requests) aimed at windows that are not let through. That input
// is held, in its order, until the next full pump, so that a window handles it no sooner than the
// wait's own rule says, and none of it is lost.

#include <functional>

class QWindow;

namespace platform::ui {

// Handles the pending events, holding back the user's input to every window for which letThrough is
// false. While a modal window is open nothing is held (it takes the input itself).
void processMessagesHoldingInput(const std::function<bool(const QWindow*)>& letThrough);

// Hands the held input back to the event queue, in its order; processMessages does this first.
void releaseHeldInput();

// How many events are held now.
int heldInputCount();

} // namespace platform::ui
