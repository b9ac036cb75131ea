// The program's device connected through the real serial code to the emulator on a pseudo-terminal:
// the line every benchmark of the device side measures.
#pragma once

#include "device/qzm_device.h"
#include "sim/pty_module_host.h"

struct EmulatedLine {
    explicit EmulatedLine(int baud = 921600)
        : module(qzm::ModuleIdentity::Extended()),
          device(qzm::PortEnumerationRoots{"/nonexistent", "/nonexistent"}) {
        ok = module.Start() && device.Connection().Open(module.OpenPath(), baud);
        device.SetDeviceType(qzm::kExtendedDevice);
    }
    qzm::CPtyModuleHost module;
    qzm::CQZMDevice device;
    bool ok = false;  // false: no pseudo-terminal to be had
};
