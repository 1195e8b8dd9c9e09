// The LV2 UI's entry points. Each takes GuiThreadLock(): the plug-in's own
// instance lives in this binary too, and hosts call the two from different
// threads. Nothing thrown crosses into the host.
#include <lv2/ui/ui.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <variant>

#include "lv2/GuiThread.h"
#include "lv2/Protocol.h"
#include "lv2/ui/PanelUi.h"

namespace norv::lv2 {
namespace {

void Complain(const char* what) { std::fprintf(stderr, "Norv Keys UI: %s\n", what); }

// Host's UI thread.
LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (pluginUri && std::strcmp(pluginUri, kPluginUri) != 0) {
        Complain((std::string("this UI shows ") + kPluginUri + " only, not " + pluginUri).c_str());
        return nullptr;
    }
    if (!bundlePath || !widget) {
        Complain("the host gave no bundle path or no place for the widget");
        return nullptr;
    }
    auto read = ReadUiFeatures(features);
    if (const std::string* error = std::get_if<std::string>(&read)) {
        Complain(error->c_str());
        return nullptr;
    }
    std::lock_guard lock(GuiThreadLock());
    try {
        auto* ui = new PanelUi(bundlePath, write, controller, std::get<UiFeatures>(read));
        *widget = reinterpret_cast<LV2UI_Widget>(ui->Widget());
        return ui;
    } catch (const std::exception& e) {
        Complain(e.what());
    } catch (...) {
        Complain("the panel could not be made");
    }
    return nullptr;
}

// Host's UI thread.
void Cleanup(LV2UI_Handle handle) {
    std::lock_guard lock(GuiThreadLock());
    delete static_cast<PanelUi*>(handle);
}

// Host's UI thread.
void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (!handle) return;
    std::lock_guard lock(GuiThreadLock());
    try {
        static_cast<PanelUi*>(handle)->PortEvent(port, size, format, buffer);
    } catch (const std::exception& e) {
        Complain(e.what());
    }
}

// Host's UI thread.
int Idle(LV2UI_Handle handle) {
    if (!handle) return 1;
    std::lock_guard lock(GuiThreadLock());
    try {
        return static_cast<PanelUi*>(handle)->Idle();
    } catch (const std::exception& e) {
        Complain(e.what());
        return 1;
    }
}

const LV2UI_Idle_Interface kIdle = {Idle};

// Host's UI thread: the host resized its window and gives the panel the room.
int HostResize(LV2UI_Feature_Handle handle, int width, int height) {
    if (!handle) return 1;
    std::lock_guard lock(GuiThreadLock());
    return static_cast<PanelUi*>(handle)->HostResize(width, height);
}

const LV2UI_Resize kResize = {nullptr, HostResize};

// Any thread.
const void* ExtensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (uri && std::strcmp(uri, LV2_UI__resize) == 0) return &kResize;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace
}  // namespace norv::lv2

// Any thread.
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &norv::lv2::kDescriptor : nullptr;
}
