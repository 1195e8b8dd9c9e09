#include "plugin/QP_NativePlug.h"

#include <cmath>

#include "base/NumberFormat.h"
#include "plugin/QP_Extra.h"
#include "toolkit/Application.h"
#include "toolkit/PopupMenu.h"
#include "toolkit/Controls.h"

namespace norv {

TQuirraPlugBase::TQuirraPlugBase(intptr_t tag, THostServices* host) : Host(host) {
    TProcessState& process = Process();
    tk::TApplication& app = tk::Application();

    HostTag = tag;
    process.Instances.Add(this);

    process.PlugHelper->MainWindow = static_cast<tk::WindowId>(Host->HostDispatch(tag, HostOpcode::GetMainWindow, 0, 0));
    app.MainWindowQuery = [] { return Process().PlugHelper ? Process().PlugHelper->MainWindow : 0; };
    app.OnHint = RouteHint;

    app.AppWindow = static_cast<tk::WindowId>(Host->HostAppWindow);
    app.ShowHintTracking = false;

    Renderer = std::make_unique<TAudioRenderer>();
    Renderer->SetRate(44100);

    SetProgressReceiver(&progressRelay_);

    // The optional signal-processing library is not used: nothing here depends on it.
    const char* path = reinterpret_cast<const char*>(Host->HostDispatch(tag, HostOpcode::GetHostPath, 0, 0));
    HostPath = path ? path : "";
}

TQuirraPlugBase::~TQuirraPlugBase() {
    // Also reached when construction fails half-way.
    TProcessState& process = Process();
    process.Instances.Remove(this);
    if (ProgressReceiver() == &progressRelay_)
        SetProgressReceiver(process.Instances.Empty() ? nullptr
                                                      : &process.Instances[process.Instances.Count() - 1]->progressRelay_);
}

void TQuirraPlugBase::DestroyInstance() {
    Renderer.reset();
    EditorForm.reset();
    Scratch.reset();
    ScratchSize = 0;
    // The instance list and the progress hook are left by the destructor.
    TQuirraPlug::DestroyInstance();
}

intptr_t TQuirraPlugBase::HostCommand(intptr_t opcode, intptr_t index, intptr_t value) {
    const int32_t op = static_cast<int32_t>(opcode);
    const int32_t v = static_cast<int32_t>(value);
    if (op == PlugCommand::SetTimerInterval) {
        tk::Application().SetTimerInterval(v);
        return 0;
    }
    if (op != PlugCommand::MenuNavigate) return 0;

    tk::TPopupMenu* menu = tk::TPopupMenu::OpenMenu();
    if (!menu) return 0;
    using K = tk::TMenuKey;
    auto send = [&](bool when, K key) {
        if (when) menu->HandleKey(key);
        return 1;
    };
    switch (static_cast<int32_t>(index)) {
        case 0: case 1: case 3: case 7:
            if (v > 0) menu->HandleKey(K::Down);
            if (v < 0) menu->HandleKey(K::Up);
            return 1;
        case 10: return send(v > 0, K::Enter);
        case 11: return send(v > 0, K::Escape);
        case 13: case 40: return send(v > 0, K::Up);
        case 14: case 41: return send(v > 0, K::Down);
        case 42: return send(v > 0, K::Left);
        case 43: return send(v > 0, K::Right);
        default: return 0;
    }
}

void TQuirraPlugBase::IdleUpdate() {
    tk::TApplication& app = tk::Application();
    app.ProcessMessages();
    if (app.CaptureControl) return;
    if (tk::TControl* c = app.ControlAtCursor()) {
        app.SetHintControl(c);
        app.SetHint(c->Hint);
    }
}

intptr_t TQuirraPlugBase::HandleEvent(intptr_t id, intptr_t value, intptr_t) {
    if (static_cast<int32_t>(id) == PlugEvent::SetPolyphony) MaxPolyphony = static_cast<int32_t>(value);
    return 0;
}

// The host never calls the operations an instrument does not provide; if one
// does anyway, it gets a harmless answer instead of a crash.
void TQuirraPlugBase::RenderEffect(float*, float*, intptr_t) {}
intptr_t TQuirraPlugBase::ReservedOp13(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
intptr_t TQuirraPlugBase::ReservedOp14(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
intptr_t TQuirraPlugBase::ReservedOp15(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
intptr_t TQuirraPlugBase::ReservedOp16(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
intptr_t TQuirraPlugBase::ReservedOp17(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }

void TQuirraPlugBase::ShowHintText(const char* text) { Host->DisplayHint(HostTag, text); }

void TQuirraPlugBase::ShowStatusText(std::string_view text) {
    std::string z(text);
    Host->HostDispatch(HostTag, HostOpcode::StatusText, 0, reinterpret_cast<intptr_t>(z.c_str()));
}

void TQuirraPlugBase::ShowPercentHint(int32_t a, int32_t b) {
    ShowHintText(PercentText(a, b).c_str());
}

void TQuirraPlugBase::RefreshAllParameters() {
    const int32_t count = Info ? static_cast<int32_t>(Info->ParamCount) : 0;
    for (int32_t i = 0; i < count; ++i)
        HandleParameter(i, HandleParameter(i, 0, ParamFlag::Get), ParamFlag::Set | ParamFlag::MoveKnob);
}

void TQuirraPlugBase::AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t paramIndex,
                                       const std::function<void(tk::TMenuItem*)>& onClick) {
    menu.TrimItems(keep);
    for (int32_t i = 0;; ++i) {
        auto* item = reinterpret_cast<const THostMenuItem*>(
            Host->HostDispatch(HostTag, HostOpcode::GetParamMenuItem, paramIndex, i));
        if (!item) break;
        tk::TMenuItem* m = menu.AddItem(item->Caption ? item->Caption : "", i);
        m->Checked = (item->Flags & 2) != 0;
        m->Enabled = (item->Flags & 1) == 0;
        m->OnClick = onClick;
    }
}

void TQuirraPlugBase::ShowProgress(int32_t position, int32_t total) {
    const std::string& message = Process().ProgressMessage;
    if (total < 1) {
        ShowStatusText(message);
        return;
    }
    int64_t p = std::min<int64_t>(std::max<int64_t>(position, 0), total);
    int64_t n = p * 20 / total;
    std::string text = "^.";
    text += static_cast<char>('a' + n);
    text += message;
    ShowStatusText(text);
}

}  // namespace norv
