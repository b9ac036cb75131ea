#include "sim/module_serving.h"

namespace qzm {

namespace {

// Without --port there is nothing to serve on: Windows has no pseudo-terminals.
class NoServing : public IModuleServing {
public:
    explicit NoServing(const ModuleIdentity& identity) : server_(identity) {}
    bool Start(const SimOptions&, std::string*, std::string* errorText) override {
        if (errorText != nullptr)
            *errorText = "give the serial port to serve on with --port (for example --port COM7)";
        return false;
    }
    CModuleServer& Server() override { return server_; }
    void Stop() override {}

private:
    CModuleServer server_;
};

}  // namespace

std::unique_ptr<IModuleServing> MakeModuleServing(const SimOptions& options) {
    if (!options.portName.empty())
        return MakeSerialServing(options.identity);
    return std::make_unique<NoServing>(options.identity);
}

}  // namespace qzm
