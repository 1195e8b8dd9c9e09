// Process-wide state shared by every instance of the loaded library, and the
// export's version gate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/QP_Def.h"
#include "toolkit/Controls.h"
#include "base/QuickList.h"

namespace norv {

class TQuirraPlugBase;
class TSynthResModule;

// Holds the host window that owns every window the program opens.
struct TPlugHelper {
    tk::WindowId MainWindow = 0;
};

struct TProcessState {
    std::string ModulePath;  // folder of the loaded library, with a trailing '/'
    TQuickList<TQuirraPlugBase> Instances;
    std::unique_ptr<TPlugHelper> PlugHelper;
    std::unique_ptr<TSynthResModule> ResourceModule;
    std::string ProgressMessage;  // shown after the progress letters
};

// Created when the library loads, released when it unloads. GUI thread.
TProcessState& Process();

// Tests point the library at their own folder.
void SetModulePathForTesting(std::string path);

// The hint router: sends the application hint to the instance whose editor holds the hint control.
void RouteHint();

// CreatePlugInstance's body: the version gate, then a new instance.
TQuirraPlug* CreateInstanceChecked(THostServices* host, intptr_t tag);

// "<name> 仅运行在 Norv Studio 4.1.2 或更改版本" in code page 936.
std::string VersionGateMessage();

}  // namespace norv
