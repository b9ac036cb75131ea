#include "sim/module_serving.h"

#include "sim/serial_module_host.h"

namespace qzm {

namespace {

class SerialServing : public IModuleServing {
public:
    explicit SerialServing(const ModuleIdentity& identity) : host_(identity) {}
    bool Start(const SimOptions& options, std::string* openWhere, std::string* errorText) override {
        if (!host_.Start(options.portName, errorText))
            return false;
        *openWhere = options.portName;
        return true;
    }
    CModuleServer& Server() override { return host_.Server(); }
    void Stop() override { host_.Stop(); }

private:
    CSerialModuleHost host_;
};

}  // namespace

std::unique_ptr<IModuleServing> MakeSerialServing(const ModuleIdentity& identity) {
    return std::make_unique<SerialServing>(identity);
}

}  // namespace qzm
