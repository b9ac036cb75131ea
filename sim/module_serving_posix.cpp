#include "sim/module_serving.h"
#include "sim/pty_module_host.h"

namespace qzm {

namespace {

class PtyServing : public IModuleServing {
public:
    explicit PtyServing(const ModuleIdentity& identity) : host_(identity) {}
    bool Start(const SimOptions& options, std::string* openWhere, std::string* errorText) override {
        if (!host_.Start(options.linkPath, errorText))
            return false;
        *openWhere = host_.OpenPath();
        return true;
    }
    CModuleServer& Server() override { return host_.Server(); }
    void Stop() override { host_.Stop(); }

private:
    CPtyModuleHost host_;
};

}  // namespace

std::unique_ptr<IModuleServing> MakeModuleServing(const SimOptions& options) {
    if (!options.portName.empty())
        return MakeSerialServing(options.identity);
    return std::make_unique<PtyServing>(options.identity);
}

}  // namespace qzm
