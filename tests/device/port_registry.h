// A registry key of the test's own under HKCU, laid out like the system's map of serial ports (each
// value names a port), so that the Windows port list can be tested without touching the real one.
// The key and everything in it are removed when the object goes.
#pragma once

#include <string>

class TestPortRegistry {
public:
    TestPortRegistry();
    ~TestPortRegistry();
    TestPortRegistry(const TestPortRegistry&) = delete;
    TestPortRegistry& operator=(const TestPortRegistry&) = delete;

    // A port as a driver enters it: the value name is the driver's device, the text the port name.
    void AddPort(const std::string& device, const std::string& port);
    // A value that is not text, which the list must pass over.
    void AddNumber(const std::string& name, unsigned value);
    // The key as PortEnumerationRoots::registryKey takes it, hive first.
    std::string Key() const { return "HKCU\\" + path_; }

private:
    std::string path_;
};
