#pragma once
// Turns SIGINT, SIGTERM and SIGHUP (a closed terminal) into a stop request:
// while an object of this class lives, each of them sets the flag it was
// given, and the running scan or save ends the way a Stop ends it (a stopped
// save removes what it wrote). The previous handlers come back when it goes.

#include <atomic>
#include <csignal>

namespace er {

class StopOnSignals {
public:
    explicit StopOnSignals(std::atomic<bool>& flag);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // Whether a signal set the flag.
    bool signalled() const;

private:
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
    struct sigaction m_previousHangUp {};
    std::atomic<bool>* m_previousFlag = nullptr;
};

} // namespace er
