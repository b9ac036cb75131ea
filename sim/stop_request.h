// How qzm-module-sim learns that the user wants it to end: Ctrl+C, a termination request, or the console
// window closing.
#pragma once

namespace qzm {

// Arms the wait. Called before any thread starts: on Linux the threads inherit the blocked stop signals,
// so that only the wait takes them.
void PrepareStopRequest();
// Blocks until the user asks the program to end.
void WaitForStopRequest();

}  // namespace qzm
