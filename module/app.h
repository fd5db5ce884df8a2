// The library's one application object and the module state it carries.
//
// There is no application framework here: ModuleApp is the small stand-in for
// one, holding the module's instance handle, under which the library finds
// its own resources, and the start-up and shutdown the entry point drives.
#pragma once

#include "platform.h"

namespace dedo {

class ModuleApp {
public:
    explicit ModuleApp(const char* appName = nullptr) : appName_(appName) {}
    ModuleApp(const ModuleApp&) = delete;
    ModuleApp& operator=(const ModuleApp&) = delete;

    // Process attach: records the module handle, then runs the initialisation hook.
    bool Start(Module instance) {
        instance_ = instance;
        return InitInstance();
    }
    // Process detach: the exit hook.
    void Stop() { ExitInstance(); }

    Module Instance() const { return instance_; }
    const char* AppName() const { return appName_; }

protected:
    ~ModuleApp() = default;
    bool InitInstance() { return true; }
    void ExitInstance() {}

private:
    const char* appName_;
    Module instance_ = nullptr;
};

// The registration component's application object. It adds nothing to its
// base: its one role is to be there from load to unload.
class CERegApp final : public ModuleApp {
public:
    CERegApp() : ModuleApp(nullptr) {}
    ~CERegApp() = default;
};

// The module handle recorded at load, under which the library's resources are found.
Module ModuleInstance();

}  // namespace dedo
