// What the LV2 instrument and its UI agree on: the URIs, the port numbers,
// and the messages between them. The Turtle files are generated from these.
#pragma once

#include <cstdint>

#include "engine/Parameters.h"

namespace norv::lv2 {

inline constexpr const char* kPluginUri = "urn:norvkeys:norv-keys";
inline constexpr const char* kUiUri = "urn:norvkeys:norv-keys#ui";
// The state: one atom:Chunk holding the bytes of the instance's saved state.
inline constexpr const char* kStateKey = "urn:norvkeys:norv-keys#state";
// The sound set as a patch:property; its value is an atom:String, UTF-8.
inline constexpr const char* kSetProperty = "urn:norvkeys:norv-keys#set";

// Port numbers.
inline constexpr uint32_t kMidiIn = 0;   // atom:Sequence: midi:MidiEvent, patch:Set / patch:Get of kSetProperty
inline constexpr uint32_t kLeftOut = 1;
inline constexpr uint32_t kRightOut = 2;
inline constexpr uint32_t kNotify = 3;   // atom:Sequence out: patch:Set of kSetProperty after a switch or a Get
inline constexpr uint32_t kFirstParam = 4;  // kFirstParam + parameter index, the table's order
inline constexpr uint32_t kPolyphony = kFirstParam + kParamCount;
inline constexpr uint32_t kPortCount = kPolyphony + 1;

inline constexpr int32_t kMinPolyphony = 1;
inline constexpr int32_t kMaxPolyphony = 256;

}  // namespace norv::lv2
