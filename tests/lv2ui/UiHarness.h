// An LV2 UI host of the test's own, in process: the bundle's binary opened
// with dlopen, its lv2ui_descriptor, a parent X window on the test's display,
// a URID map, ui:resize and write_function that record what the UI does.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/worker/worker.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace norv::test {

struct PortWrite {
    uint32_t Port, Protocol;
    std::vector<uint8_t> Bytes;
    float Value() const;  // for a control port write
};

// A ui:touch call, and how many port writes came before it.
struct Touch {
    uint32_t Port;
    bool Grabbed;
    size_t WritesBefore;
    bool operator==(const Touch&) const = default;
};

struct UiOptions {
    bool Parent = true;
    bool Resize = true;
    std::optional<float> Scale;
};

class UiHarness {
public:
    // `bundle` ends with '/'. Needs DISPLAY set to the test's server.
    explicit UiHarness(const std::string& bundle);
    ~UiHarness();
    UiHarness(const UiHarness&) = delete;
    UiHarness& operator=(const UiHarness&) = delete;

    bool Loaded() const { return descriptor_ != nullptr; }
    // The plug-in itself in this process, as a host runs it beside its UI:
    // instantiated at 48 kHz and activated (its worker is never asked).
    bool StartPlugin();
    // True when the UI came up; the widget is then in Widget().
    bool Instantiate(const UiOptions& options = {});
    void Cleanup();

    uintptr_t Widget() const { return widget_; }
    unsigned long Parent() const { return parent_; }
    ::Display* X() const { return x_; }
    const std::vector<std::pair<int, int>>& Resizes() const { return resizes_; }
    std::vector<PortWrite>& Writes() { return writes_; }
    std::vector<Touch>& Touches() { return touches_; }

    void PortEvent(uint32_t port, float value);
    void PortEvent(uint32_t port, const std::vector<uint8_t>& atom);
    // One idle call; its result.
    int Idle();
    // The UI's own ui:resize, as a host that resized its window calls it; -1 without one.
    int HostResize(int width, int height);
    // Idles every 10 ms until `done` holds; false after `patience`.
    bool IdleUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds patience = std::chrono::seconds(30));
    // The parent window's children right now.
    int ChildCount();
    // Every window on the server right now.
    int WindowCount();

    uint32_t Map(const std::string& uri);
    // Destroys the parent window; its id is still handed to the next Instantiate.
    void DestroyParent();

private:
    static LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri);
    static int Resized(LV2UI_Feature_Handle handle, int width, int height);
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }
    static void Touched(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed);
    static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer);

    void* library_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
    std::string bundle_;
    ::Display* x_ = nullptr;
    unsigned long parent_ = 0;
    bool parentAlive_ = false;
    std::map<std::string, uint32_t> urids_;
    LV2_URID_Map map_{this, &MapUri};
    LV2UI_Resize resize_{this, &Resized};
    LV2_Worker_Schedule schedule_{this, &Schedule};
    const LV2_Descriptor* plugin_ = nullptr;
    LV2_Handle pluginInstance_ = nullptr;
    LV2UI_Touch touch_{this, &Touched};
    LV2UI_Handle ui_ = nullptr;
    uintptr_t widget_ = 0;
    std::vector<std::pair<int, int>> resizes_;
    std::vector<PortWrite> writes_;
    std::vector<Touch> touches_;
};

}  // namespace norv::test
