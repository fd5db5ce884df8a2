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
    ModuleApp() = default;
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

protected:
    ~ModuleApp() = default;
    bool InitInstance() { return true; }
    void ExitInstance() {}

private:
    Module instance_ = nullptr;
};

// The registration component's application object. It adds nothing to its
// base: its one role is to be there from load to unload.
class CERegApp final : public ModuleApp {
public:
    CERegApp() = default;  // no application name: the object only marks the module's lifetime
    ~CERegApp() = default;
};

// The module handle recorded at load, under which the library's resources are found.
Module ModuleInstance();

}  // namespace dedo
