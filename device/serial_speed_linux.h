// Line speeds through the kernel's termios2 interface, which takes any rate in bits per second and
// reports the rate the driver really set. Kept apart because its header clashes with <termios.h>.
#pragma once

namespace qzm {

// Asks the driver for baud on an open terminal; false when the kernel refuses the request.
bool SetLineSpeedAnyRate(int fd, int baud);
// The output rate the driver runs at, or -1 when it cannot be read.
int ReadLineSpeed(int fd);

}  // namespace qzm
