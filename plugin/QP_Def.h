// The host interface of Norv Studio plug-ins, in its Linux form.
//
// This is the one header a host includes. Both sides compile these
// declarations; the host calls the plug-in through virtual calls, so the
// order of the virtual functions below is the binary contract: never add,
// remove or reorder one before the last host-facing slot.
//
// Every host-facing argument and result is one machine word (intptr_t)
// unless a pointer type is named. Numbers the system defines as signed
// 32-bit (versions, parameter values, flags) travel in the word and are read
// back as int32_t.
#pragma once

#include <cstddef>
#include <cstdint>

// Texts crossing this boundary are zero-terminated code page 936 (GBK) bytes.

// ---------------------------------------------------------------------------
// Records

// The static record the host reads through TQuirraPlug::Info.
struct PlugInfoRecord {
    intptr_t InfoVersion;
    const char* PlugName;
    const char* PlugShortName;
    intptr_t InfoFlags;
    intptr_t ParamCount;
    intptr_t DefaultPolyphony;
    intptr_t Reserved[10];
};

// The host's per-voice record. The instance reads only the float fields
// below, at these byte offsets; the host may append fields after offset 32.
struct THostVoiceRecord {
    int32_t HostField0;
    float InitVolume;   // 4: note-on level, 1.0 = velocity 100
    float InitPitch;    // 8: played key in cents above key 0
    int32_t HostField12;
    int32_t HostField16;
    float CurPan;       // 20: -1 (left) .. +1 (right)
    float CurVolume;    // 24: current level, >= 0
    float CurPitch;     // 28: cents relative to key 60
};
static_assert(offsetof(THostVoiceRecord, InitVolume) == 4);
static_assert(offsetof(THostVoiceRecord, InitPitch) == 8);
static_assert(offsetof(THostVoiceRecord, CurPan) == 20);
static_assert(offsetof(THostVoiceRecord, CurVolume) == 24);
static_assert(offsetof(THostVoiceRecord, CurPitch) == 28);
static_assert(sizeof(THostVoiceRecord) == 32);

// What the host answers for GetParamMenuItem (opcode 18).
struct THostMenuItem {
    const char* Caption;
    intptr_t Flags;  // bit 0 disabled, bit 1 checked
};

// ---------------------------------------------------------------------------
// Opcodes

// THostServices::HostDispatch opcodes.
namespace HostOpcode {
enum : intptr_t {
    RunParamMenuItem = 0,
    EditorResized = 2,
    GetParamMenuItem = 18,
    KeyboardNoteOn = 20,
    KeyboardNoteOff = 21,
    StatusText = 22,
    GetHostPath = 29,
    InstanceReady = 33,
    GetMainWindow = 46,
};
}

// TQuirraPlug::HostCommand opcodes.
namespace PlugCommand {
enum : intptr_t {
    SetEditorParent = 0,
    EndAllVoices = 2,
    SetSampleRate = 4,
    SetTimerInterval = 21,
    MenuNavigate = 23,
    // This system's own additions, for hosts that know them; others never send them.
    // value = device pixels per logical pixel × 100 (100: the fixed 1:1 size).
    SetEditorScale = 1000,
    // value = a UTF-8 path: the panel as it looks now, drawn off-screen into a
    // PNG file; no display needed. Returns 1 when the file was written.
    SaveEditorImage = 1001,
};
}

// TQuirraPlug::HandleParameter flag bits.
namespace ParamFlag {
enum : intptr_t {
    Set = 0x01,
    Get = 0x02,
    ShowText = 0x04,
    MoveKnob = 0x10,
    HostScale = 0x20,
};
}

// TQuirraPlug::HandleEvent ids.
namespace PlugEvent {
enum : intptr_t { SetPolyphony = 1 };
}

// The host's minimum accepted version is greater than this.
inline constexpr int32_t kMinHostVersionExclusive = 4001001;

// ---------------------------------------------------------------------------
// Interfaces

// The host's services, handed to CreatePlugInstance. Slots 0-35.
class THostServices {
public:
    virtual intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) = 0;  // 0
    virtual void NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) = 0;                  // 1
    virtual void DisplayHint(intptr_t tag, const char* text) = 0;                                       // 2
    virtual void Reserved3() {}
    virtual void Reserved4() {}
    virtual void NotifyVoiceEnded(intptr_t voiceTag, intptr_t code) = 0;  // 5
    virtual void Reserved6() {}
    virtual void LockProcessing() = 0;    // 7
    virtual void UnlockProcessing() = 0;  // 8
    virtual void Reserved9() {}
    virtual void Reserved10() {}
    virtual void Reserved11() {}
    virtual void Reserved12() {}
    virtual void Reserved13() {}
    virtual void Reserved14() {}
    virtual void Reserved15() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void Reserved18() {}
    virtual void Reserved19() {}
    virtual void Reserved20() {}
    virtual void Reserved21() {}
    virtual void Reserved22() {}
    virtual void Reserved23() {}
    virtual void Reserved24() {}
    virtual void Reserved25() {}
    virtual void Reserved26() {}
    virtual void Reserved27() {}
    virtual void Reserved28() {}
    virtual void Reserved29() {}
    virtual void Reserved30() {}
    virtual void ComputeVoiceGains(float* left, float* right, float pan, float volume) = 0;  // 31
    virtual void Reserved32() {}
    virtual void Reserved33() {}
    virtual void LockMixOutput() = 0;    // 34
    virtual void UnlockMixOutput() = 0;  // 35

    intptr_t HostVersion = 0;  // read as int32_t
    intptr_t Reserved1 = 0;
    intptr_t HostAppWindow = 0;  // X11 window id of the host application, 0 when headless

protected:
    ~THostServices() = default;
};

// The state stream the host hands to ExchangeState. A null count pointer is
// allowed; a non-null one receives the bytes actually moved.
class IStateStream {
public:
    virtual intptr_t Read(void* buffer, uint32_t count, uint32_t* countRead) = 0;
    virtual intptr_t Write(const void* buffer, uint32_t count, uint32_t* countWritten) = 0;

protected:
    ~IStateStream() = default;
};

// One plug-in instance. The host calls slots 0-17 only; thread notes per slot.
class TQuirraPlug {
public:
    // 0. GUI thread. Frees the instance; the pointer is invalid afterwards.
    virtual void DestroyInstance();
    // 1. GUI thread (EndAllVoices may come from any thread that may lock).
    virtual intptr_t HostCommand(intptr_t opcode, intptr_t index, intptr_t value) = 0;
    // 2. GUI thread, host idle time.
    virtual void IdleUpdate() = 0;
    // 3. GUI thread. save != 0 writes the state, 0 restores it.
    virtual void ExchangeState(IStateStream* stream, intptr_t save) = 0;
    // 4. Any non-audio thread. text needs room for 15 bytes.
    virtual void DescribeItem(intptr_t kind, intptr_t index, intptr_t value, char* text) = 0;
    // 5. Any thread.
    virtual intptr_t HandleEvent(intptr_t id, intptr_t value, intptr_t flags) = 0;
    // 6. GUI thread when flags carry MoveKnob or ShowText, else any thread.
    virtual intptr_t HandleParameter(intptr_t index, intptr_t value, intptr_t flags) = 0;
    // 7. Not provided by instruments.
    virtual void RenderEffect(float* source, float* dest, intptr_t frames) = 0;
    // 8. Audio thread. Adds *frames interleaved stereo frames into dest.
    virtual void RenderMix(float* dest, int32_t* frames) = 0;
    // 9-12. Audio thread. A voice handle is the voice record's address; -1 is none.
    virtual intptr_t StartVoice(THostVoiceRecord* record, intptr_t voiceTag) = 0;
    virtual void ReleaseVoice(intptr_t handle) = 0;
    virtual void KillVoice(intptr_t handle) = 0;
    virtual intptr_t VoiceEvent(intptr_t handle, intptr_t event, intptr_t value, intptr_t flags) = 0;
    // 13-17. Not provided.
    virtual intptr_t ReservedOp13(intptr_t, intptr_t, intptr_t, intptr_t) = 0;
    virtual intptr_t ReservedOp14(intptr_t, intptr_t, intptr_t, intptr_t) = 0;
    virtual intptr_t ReservedOp15(intptr_t, intptr_t, intptr_t, intptr_t) = 0;
    virtual intptr_t ReservedOp16(intptr_t, intptr_t, intptr_t, intptr_t) = 0;
    virtual intptr_t ReservedOp17(intptr_t, intptr_t, intptr_t, intptr_t) = 0;

    intptr_t HostTag = 0;
    PlugInfoRecord* Info = nullptr;
    intptr_t EditorHandle = 0;  // X11 window id of the editor panel
    uint8_t Reserved[132] = {};

protected:
    TQuirraPlug() = default;
    virtual ~TQuirraPlug();  // after the slots, so it does not move them
};

extern "C" {
// The plug-in's one export. Returns nullptr when the host is too old.
TQuirraPlug* CreatePlugInstance(THostServices* host, intptr_t tag);
using CreatePlugInstanceFn = TQuirraPlug* (*)(THostServices* host, intptr_t tag);
}
