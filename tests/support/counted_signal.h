// A SIGUSR1 handler that counts the signals it takes, installed for one scope: the signal
// tests interrupt a command with it, with and without SA_RESTART, and check that a signal
// did arrive.
#pragma once

#include <csignal>

namespace test_support {

class CountedSignal {
public:
    // Installs the handler with `flags` (0 or SA_RESTART) and starts counting from 0.
    explicit CountedSignal(int flags);
    // Puts the handler that was there before back.
    ~CountedSignal();
    CountedSignal(const CountedSignal&) = delete;
    CountedSignal& operator=(const CountedSignal&) = delete;

    // The SIGUSR1 signals taken since the handler was installed.
    int Taken() const;

private:
    struct sigaction previous_ {};
};

}  // namespace test_support
