#include "lv2ui/UiHarness.h"

#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "lv2/Protocol.h"

// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>

namespace norv::test {

float PortWrite::Value() const {
    float v = 0;
    if (Bytes.size() == sizeof v) std::memcpy(&v, Bytes.data(), sizeof v);
    return v;
}

UiHarness::UiHarness(const std::string& bundle) : bundle_(bundle) {
    library_ = dlopen((bundle + "NorvKeysLv2.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        std::fprintf(stderr, "%s\n", dlerror());
        return;
    }
    using DescriptorFn = const LV2UI_Descriptor* (*)(uint32_t);
    auto fn = reinterpret_cast<DescriptorFn>(dlsym(library_, "lv2ui_descriptor"));
    for (uint32_t i = 0; fn && !descriptor_; ++i) {
        const LV2UI_Descriptor* d = fn(i);
        if (!d) break;
        if (std::strcmp(d->URI, lv2::kUiUri) == 0) descriptor_ = d;
    }
    x_ = XOpenDisplay(nullptr);
    if (!x_) {
        std::fprintf(stderr, "cannot open the display\n");
        descriptor_ = nullptr;
        return;
    }
    parent_ = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 400, 300, 0, 0, 0);
    parentAlive_ = true;
    XMapWindow(x_, parent_);
    XSync(x_, False);
}

bool UiHarness::StartPlugin() {
    using DescriptorFn = const LV2_Descriptor* (*)(uint32_t);
    auto fn = library_ ? reinterpret_cast<DescriptorFn>(dlsym(library_, "lv2_descriptor")) : nullptr;
    for (uint32_t i = 0; fn && !plugin_; ++i) {
        const LV2_Descriptor* d = fn(i);
        if (!d) break;
        if (std::strcmp(d->URI, lv2::kPluginUri) == 0) plugin_ = d;
    }
    if (!plugin_ || pluginInstance_) return false;
    const LV2_Feature map{LV2_URID__map, &map_};
    const LV2_Feature schedule{LV2_WORKER__schedule, &schedule_};
    const LV2_Feature* features[] = {&map, &schedule, nullptr};
    pluginInstance_ = plugin_->instantiate(plugin_, 48000.0, bundle_.c_str(), features);
    if (!pluginInstance_) return false;
    plugin_->activate(pluginInstance_);
    return true;
}

UiHarness::~UiHarness() {
    Cleanup();
    if (pluginInstance_) {
        plugin_->deactivate(pluginInstance_);
        plugin_->cleanup(pluginInstance_);
    }
    if (x_) {
        if (parentAlive_) XDestroyWindow(x_, parent_);
        XCloseDisplay(x_);
    }
    if (library_) dlclose(library_);
}

bool UiHarness::Instantiate(const UiOptions& options) {
    if (!descriptor_ || ui_) return false;
    resizes_.clear();
    writes_.clear();
    const float scale = options.Scale.value_or(1.0f);
    const LV2_Options_Option opts[] = {
        {LV2_OPTIONS_INSTANCE, 0, Map(LV2_UI__scaleFactor), sizeof(float), Map(LV2_ATOM__Float), &scale},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent_))};
    const LV2_Feature map{LV2_URID__map, &map_};
    const LV2_Feature resize{LV2_UI__resize, &resize_};
    const LV2_Feature touch{LV2_UI__touch, &touch_};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(opts)};
    std::vector<const LV2_Feature*> features = {&map, &touch};
    if (options.Parent) features.push_back(&parent);
    if (options.Resize) features.push_back(&resize);
    if (options.Scale) features.push_back(&optionsFeature);
    features.push_back(nullptr);
    LV2UI_Widget widget = nullptr;
    ui_ = descriptor_->instantiate(descriptor_, lv2::kPluginUri, bundle_.c_str(), &Write, this, &widget,
                                   features.data());
    widget_ = reinterpret_cast<uintptr_t>(widget);
    return ui_ != nullptr;
}

void UiHarness::Cleanup() {
    if (!ui_) return;
    descriptor_->cleanup(ui_);
    ui_ = nullptr;
    widget_ = 0;
}

void UiHarness::PortEvent(uint32_t port, float value) {
    if (ui_) descriptor_->port_event(ui_, port, sizeof value, 0, &value);
}

void UiHarness::PortEvent(uint32_t port, const std::vector<uint8_t>& atom) {
    if (ui_)
        descriptor_->port_event(ui_, port, static_cast<uint32_t>(atom.size()), Map(LV2_ATOM__eventTransfer),
                                atom.data());
}

int UiHarness::Idle() {
    if (!ui_) return 1;
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor_->extension_data(LV2_UI__idleInterface));
    return idle ? idle->idle(ui_) : 1;
}

int UiHarness::HostResize(int width, int height) {
    const auto* resize =
        ui_ ? static_cast<const LV2UI_Resize*>(descriptor_->extension_data(LV2_UI__resize)) : nullptr;
    return resize ? resize->ui_resize(ui_, width, height) : -1;
}

bool UiHarness::IdleUntil(const std::function<bool()>& done, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int UiHarness::ChildCount() {
    ::Window root, parent, *children = nullptr;
    unsigned n = 0;
    XSync(x_, False);
    if (!XQueryTree(x_, parent_, &root, &parent, &children, &n)) return -1;
    if (children) XFree(children);
    return static_cast<int>(n);
}

int UiHarness::WindowCount() {
    XSync(x_, False);
    std::function<int(::Window)> count = [&](::Window w) {
        ::Window root, parent, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(x_, w, &root, &parent, &children, &n)) return 0;
        int total = static_cast<int>(n);
        for (unsigned i = 0; i < n; ++i) total += count(children[i]);
        if (children) XFree(children);
        return total;
    };
    return count(DefaultRootWindow(x_));
}

uint32_t UiHarness::Map(const std::string& uri) {
    const auto [it, added] = urids_.emplace(uri, static_cast<uint32_t>(urids_.size() + 1));
    return it->second;
}

void UiHarness::DestroyParent() {
    XDestroyWindow(x_, parent_);
    XSync(x_, False);
    parentAlive_ = false;
}

LV2_URID UiHarness::MapUri(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UiHarness*>(handle)->Map(uri);
}

int UiHarness::Resized(LV2UI_Feature_Handle handle, int width, int height) {
    auto* self = static_cast<UiHarness*>(handle);
    self->resizes_.emplace_back(width, height);
    // As a host does: the parent takes the panel's size.
    if (self->parentAlive_ && width > 0 && height > 0)
        XResizeWindow(self->x_, self->parent_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    return 0;
}

void UiHarness::Touched(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    auto* self = static_cast<UiHarness*>(handle);
    self->touches_.push_back({port, grabbed, self->writes_.size()});
}

void UiHarness::Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    static_cast<UiHarness*>(controller)->writes_.push_back({port, protocol, std::vector<uint8_t>(bytes, bytes + size)});
}

}  // namespace norv::test
