// The instance's sound-set library and the switch between sets.
#include <algorithm>
#include <cmath>

#include "editor/SynthForm.h"
#include "plugin/QP_Extra.h"
#include "plugin/TestPlug.h"
#include "toolkit/Application.h"
#include "toolkit/MessageBox.h"
#include "base/TextCase.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv {
void TTestPlug::ScanWaveTables() {
    WaveTableNames.clear();
    WaveTableFiles.clear();
    if (!WaveTable) return;
    std::vector<std::string> labels;
    for (TLibraryEntry& e : ScanLibrary(*WaveTable)) {
        WaveTableNames.push_back(std::move(e.Name));
        labels.push_back(std::move(e.Label));
        WaveTableFiles.push_back(std::move(e.File));
    }
    Form()->WavetableCombo->SetItems(std::move(labels));
}

bool TTestPlug::LoadWaveTable(int32_t index, bool notify, bool pumpMessages, bool lockHost) {
    TSynthEditorForm* form = Form();
    auto table = std::make_unique<TPianoWaveTable>(WaveTable ? WaveTable->Folder : Process().ModulePath + "WavTables/",
                                                   kParamCount);
    table->OnProgress = [form](TPianoWaveTable* t, int32_t current, int32_t last) {
        form->ProgressCallback(t, current, last);
    };
    table->OnError = [this](const std::string& detail) {
        std::string text = TPianoWaveTable::kLoadErrorText;
        if (!tk::ShowErrorMessage(text, static_cast<tk::WindowId>(tk::Application().MainWindow())))
            ShowStatusText(text);
        if (!detail.empty()) std::fprintf(stderr, "Norv Keys: %s\n", detail.c_str());
    };

    bool loaded = false;
    if (index >= 0 && index < static_cast<int32_t>(WaveTableFiles.size())) {
        std::function<void()> pump;
        if (pumpMessages) pump = [] { tk::Application().ProcessMessages(); };
        // Before the host tells its rate, any copy of the set the process
        // holds plays as well as one converted for the stand-in rate.
        loaded = table->LoadFromFile(Renderer->Rate, WaveTableFiles[static_cast<size_t>(index)], pump,
                                     !Renderer->RateFromHost);
    }
    if (!loaded) {
        int32_t current = WaveTable ? IndexOfIgnoreCase(WaveTableNames, WaveTable->Name) : -1;
        form->WavetableCombo->SelectEntryIndex(std::max(current, 0));
        return false;
    }

    if (lockHost) Host->LockProcessing();
    KillAllVoices();
    std::unique_ptr<TPianoWaveTable> old = std::move(WaveTable);
    WaveTable = std::move(table);
    Engine.SetTable(WaveTable.get());
    for (int32_t i = 0; i < kParamCount; ++i) {
        const float x = WaveTable->Parameters[static_cast<size_t>(i)];
        if (!(x >= 0.0f && x <= 1.0f))
            ParamValues[static_cast<size_t>(i)] = ParamDefaults[static_cast<size_t>(i)];
        else
            ParamValues[static_cast<size_t>(i)] = static_cast<int32_t>(
                HandleParameter(i, static_cast<intptr_t>(std::nearbyint(static_cast<double>(x) * 65536.0)),
                                ParamFlag::HostScale));
    }
    if (notify) {
        RefreshAllParameters();
        UpdateWorkingValues(-1);
    }
    if (lockHost) Host->UnlockProcessing();

    form->WavetableCombo->SelectEntryIndex(index);
    old.reset();
    return true;
}

}  // namespace norv
