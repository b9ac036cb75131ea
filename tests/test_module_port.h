// The emulator inside the test's process, offered to a controller as its "Simulated module" port
// like the program's own, but within reach of the test: its faults, its state, and a cable pulled
// and plugged in again.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "device/simulated_port.h"
#include "sim/in_process_module_host.h"

namespace qzm_test {

class TestModulePort : public qzm::ISimulatedPort {
public:
    explicit TestModulePort(qzm::ModuleIdentity identity) : host_(identity) {
        host_.Emulator().SetFacesInView(1);
    }
    std::string Name() const override { return "Simulated module"; }
    std::unique_ptr<qzm::ISerialPort> Start(const std::string&, std::string* errorText) override {
        // Unplugged, the module's place is empty: opening the port finds nothing there.
        if (!unplugged_ && !host_.Running() && !host_.Start(errorText))
            return nullptr;
        return host_.NewPort();
    }
    void Stop() override { host_.Stop(); }
    qzm::CInProcessModuleHost& Host() { return host_; }

    // The adapter pulled out and plugged in again: until then nothing brings the module back.
    void Unplug() {
        unplugged_ = true;
        host_.Stop();
    }
    bool PlugIn() {
        unplugged_ = false;
        return host_.Start();
    }

private:
    qzm::CInProcessModuleHost host_;
    std::atomic<bool> unplugged_{false};  // set by the test, read where the controller reconnects
};

}  // namespace qzm_test
