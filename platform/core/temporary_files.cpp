#include "platform/core/temporary_files.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

namespace platform::core {

namespace {

constexpr int Slots = 64;
constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

enum SlotState : int { Free, Filling, Held };

// Read by the signal handler: fixed storage, a state per slot that says when its name is whole.
struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};
Slot table[Slots];

void removeHeldAndEnd(int sig) {
    for (Slot& slot : table) {
        if (slot.state.load() == Held)
            ::unlink(slot.path);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void installHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int sig : Signals) {
            struct sigaction current {};
            if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
                (current.sa_flags & SA_SIGINFO) != 0)
                continue; // ignored, or handled by the program itself
            struct sigaction action {};
            action.sa_handler = removeHeldAndEnd;
            sigfillset(&action.sa_mask);
            sigaction(sig, &action, nullptr);
        }
    });
}

// Installed as the program loads, so that no temporary file is made before the handlers exist.
[[maybe_unused]] const bool handlersInstalled = (installHandlers(), true);

} // namespace

TemporaryFile::TemporaryFile(std::string_view path) {
    if (path.empty() || path.size() >= PATH_MAX)
        return;
    installHandlers();
    for (int i = 0; i < Slots; ++i) {
        int expected = Free;
        if (table[i].state.compare_exchange_strong(expected, Filling)) {
            std::memcpy(table[i].path, path.data(), path.size());
            table[i].path[path.size()] = '\0';
            table[i].state.store(Held);
            slot_ = i;
            return;
        }
    }
}

TemporaryFile::~TemporaryFile() {
    if (slot_ >= 0)
        table[slot_].state.store(Free);
}

TerminationDeferred::TerminationDeferred() {
    sigset_t deferred;
    sigemptyset(&deferred);
    for (const int sig : Signals)
        sigaddset(&deferred, sig);
    pthread_sigmask(SIG_BLOCK, &deferred, &previous_);
}

TerminationDeferred::~TerminationDeferred() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace platform::core
