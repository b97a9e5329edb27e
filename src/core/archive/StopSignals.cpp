#include "archive/StopSignals.h"

namespace er {
namespace {

// Read by the handler: an atomic pointer, lock-free, so reading it is safe
// inside a signal handler.
std::atomic<std::atomic<bool>*> g_stopFlag{nullptr};
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void requestStop(int)
{
    g_signalled = 1;
    if (std::atomic<bool>* flag = g_stopFlag.load())
        flag->store(true);
}

} // namespace

StopOnSignals::StopOnSignals(std::atomic<bool>& flag)
{
    m_previousFlag = g_stopFlag.exchange(&flag);
    g_signalled = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
    sigaction(SIGHUP, &action, &m_previousHangUp);
}

StopOnSignals::~StopOnSignals()
{
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
    sigaction(SIGHUP, &m_previousHangUp, nullptr);
    g_stopFlag.store(m_previousFlag);
}

bool StopOnSignals::signalled() const { return g_signalled != 0; }

} // namespace er
