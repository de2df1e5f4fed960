#include "tests/support/counted_signal.h"

#include <atomic>

namespace test_support {

namespace {

// Written by the handler on whichever thread takes the signal, read by the test; the count
// orders nothing else, so relaxed accesses do.
std::atomic<int> signalsTaken{0};

void CountSignal(int) { signalsTaken.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

CountedSignal::CountedSignal(int flags) {
    signalsTaken.store(0, std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_handler = CountSignal;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous_);
}

CountedSignal::~CountedSignal() { sigaction(SIGUSR1, &previous_, nullptr); }

int CountedSignal::Taken() const { return signalsTaken.load(std::memory_order_relaxed); }

}  // namespace test_support
