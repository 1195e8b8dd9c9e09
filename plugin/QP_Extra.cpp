#include "plugin/QP_Extra.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <new>

#include "editor/SynthRes.h"
#include "plugin/QP_NativePlug.h"
#include "plugin/TestPlug.h"
#include "toolkit/Application.h"
#include "base/Cp936.h"
#include "toolkit/MessageBox.h"

namespace norv {
namespace {

TProcessState* gProcess = nullptr;

std::string FolderOfThisLibrary() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FolderOfThisLibrary), &info) == 0 || !info.dli_fname) return "./";
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(info.dli_fname, ec).parent_path();
    std::string folder = p.string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

__attribute__((constructor)) void LibraryLoaded() {
    if (!gProcess) gProcess = new TProcessState;
    gProcess->ModulePath = FolderOfThisLibrary();
    gProcess->PlugHelper = std::make_unique<TPlugHelper>();
}

__attribute__((destructor)) void LibraryUnloaded() {
    if (!gProcess) return;
    gProcess->ResourceModule.reset();
    gProcess->PlugHelper.reset();
    tk::ReleaseApplication();
    // Instances the host never destroyed keep their memory; the list goes.
    delete gProcess;
    gProcess = nullptr;
}

// The long part of a hint: the text after the first '|', or all of it.
std::string LongHint(const std::string& hint) {
    size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

bool Contains(TQuirraPlugBase& plug, tk::TControl* c) {
    if (!plug.EditorForm) return false;
    if (c->Owner() == plug.EditorForm.get()) return true;
    if (plug.EditorHandle == 0) return false;
    const tk::TWinControl* window = c->IsWindowed() ? static_cast<tk::TWinControl*>(c) : c->Parent();
    return window && window->IsWindowOrDescendantOf(static_cast<tk::WindowId>(plug.EditorHandle));
}

}  // namespace

TProcessState& Process() {
    if (!gProcess) LibraryLoaded();
    return *gProcess;
}

void SetModulePathForTesting(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    Process().ModulePath = std::move(path);
}

void RouteHint() {
    auto& list = Process().Instances;
    if (list.Empty()) return;
    TQuirraPlugBase* target = list[0];
    if (tk::TControl* c = tk::Application().HintControl()) {
        for (int32_t i = list.Count() - 1; i >= 0; --i) {
            if (Contains(*list[i], c)) {
                target = list[i];
                break;
            }
        }
    }
    target->ShowHintText(LongHint(tk::Application().Hint()).c_str());
}

std::string VersionGateMessage() {
    return Utf8ToCp936(gPlugInfo.PlugName) + Utf8ToCp936(" 仅运行在 Norv Studio 4.1.2 或更改版本");
}

TQuirraPlug* CreateInstanceChecked(THostServices* host, intptr_t tag) {
    if (!host) return nullptr;
    if (static_cast<int32_t>(host->HostVersion) > kMinHostVersionExclusive) {
        try {
            return new TTestPlug(tag, host);
        } catch (const std::exception& e) {
            // Nothing may escape into the host: it gets no instance.
            std::fprintf(stderr, "Norv Keys: cannot create an instance: %s\n", e.what());
            return nullptr;
        }
    }
    std::string message = VersionGateMessage();
    if (!tk::ShowErrorMessage(message, static_cast<tk::WindowId>(host->HostAppWindow)))
        host->HostDispatch(tag, HostOpcode::StatusText, 0, reinterpret_cast<intptr_t>(message.c_str()));
    return nullptr;
}

}  // namespace norv
