#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "sim/stop_request.h"

namespace qzm {

namespace {

std::mutex stopMutex;  // guards stopAsked
std::condition_variable stopChanged;
bool stopAsked = false;

// Runs on a thread the system starts for the console event.
BOOL WINAPI OnConsoleEvent(DWORD) {
    {
        std::lock_guard lock(stopMutex);
        stopAsked = true;
    }
    stopChanged.notify_all();
    // Closing the console ends the process once this returns: give the main thread a moment to stop
    // the emulator (which writes its store after every change anyway).
    Sleep(500);
    return TRUE;
}

}  // namespace

void PrepareStopRequest() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopRequest() {
    std::unique_lock lock(stopMutex);
    stopChanged.wait(lock, [] { return stopAsked; });
}

}  // namespace qzm
