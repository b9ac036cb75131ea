#include <pthread.h>
#include <signal.h>

#include "sim/stop_request.h"

namespace qzm {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

void PrepareStopRequest() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void WaitForStopRequest() {
    const sigset_t signals = StopSignals();
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
}

}  // namespace qzm
