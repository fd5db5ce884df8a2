#include "app.h"

namespace dedo {

// The process-wide application object; the library keeps no other global.
CERegApp theApp;

Module ModuleInstance() { return theApp.Instance(); }

}  // namespace dedo
