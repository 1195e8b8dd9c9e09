// The root of the host interface: slot 0 ends here for every plug-in.
#include "plugin/QP_Def.h"

void TQuirraPlug::DestroyInstance() { delete this; }

TQuirraPlug::~TQuirraPlug() = default;
