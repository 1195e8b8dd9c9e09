// The common machinery of the maker's native plug-ins: the host link, the
// editor form, the renderer, hint and progress routing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/AudioRenderer.h"
#include "plugin/QP_Def.h"
#include "base/ProgressHook.h"
#include "base/Relaxed.h"

namespace norv {

namespace tk {
class TForm;
class TPopupMenu;
class TMenuItem;
}  // namespace tk

class TQuirraPlugBase : public TQuirraPlug {
public:
    // Main thread. Joins the process's instances, learns the host's windows
    // and folder, makes the renderer and takes the progress reports.
    TQuirraPlugBase(intptr_t tag, THostServices* host);

    void DestroyInstance() override;                                                 // main
    intptr_t HostCommand(intptr_t opcode, intptr_t index, intptr_t value) override;  // main
    void IdleUpdate() override;                                                      // main
    intptr_t HandleEvent(intptr_t id, intptr_t value, intptr_t flags) override;      // any

    // Not provided by this instrument: answered harmlessly (see the .cpp).
    void RenderEffect(float* source, float* dest, intptr_t frames) override;
    intptr_t ReservedOp13(intptr_t, intptr_t, intptr_t, intptr_t) override;
    intptr_t ReservedOp14(intptr_t, intptr_t, intptr_t, intptr_t) override;
    intptr_t ReservedOp15(intptr_t, intptr_t, intptr_t, intptr_t) override;
    intptr_t ReservedOp16(intptr_t, intptr_t, intptr_t, intptr_t) override;
    intptr_t ReservedOp17(intptr_t, intptr_t, intptr_t, intptr_t) override;

    // Slot 18, internal: a code page 936 text for the host's hint bar. Main thread.
    virtual void ShowHintText(const char* text);

    // Main thread, as the rest below.
    void ShowStatusText(std::string_view text);
    void ShowPercentHint(int32_t a, int32_t b);
    void RefreshAllParameters();
    // Rebuilds a knob menu's host entries after the first `keep` items.
    void AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t paramIndex,
                          const std::function<void(tk::TMenuItem*)>& onClick);
    void ShowProgress(int32_t position, int32_t total);

    THostServices* Host;
    std::unique_ptr<tk::TForm> EditorForm;
    std::unique_ptr<TAudioRenderer> Renderer;
    std::unique_ptr<float[]> Scratch;
    int32_t ScratchSize = 0;
    Relaxed<int32_t> MaxPolyphony{0};
    std::string HostPath;

protected:
    ~TQuirraPlugBase() override;

private:
    class ProgressRelay : public IProgressReceiver {
    public:
        explicit ProgressRelay(TQuirraPlugBase& owner) : owner_(owner) {}
        void ShowProgress(int32_t position, int32_t total) override { owner_.ShowProgress(position, total); }

    private:
        TQuirraPlugBase& owner_;
    };
    ProgressRelay progressRelay_{*this};
};

}  // namespace norv
