// The plug-in's one exported symbol.
#include "plugin/QP_Def.h"
#include "plugin/QP_Extra.h"

extern "C" __attribute__((visibility("default"))) TQuirraPlug* CreatePlugInstance(THostServices* host,
                                                                                 intptr_t tag) {
    return norv::CreateInstanceChecked(host, tag);
}
