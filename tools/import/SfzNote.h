// How an SFZ player plays one region: the opcodes that shape its level,
// filter and envelope, and the note they give at a key and velocity. Where
// the format leaves room, this follows sfizz, the SFZ player of Linux.
#pragma once

#include <map>

#include "tools/import/NoteShape.h"

namespace norv::import {

struct SfzVoice {
    double VolumeDb = 0;
    double Amplitude = 1;     // amplitude / 100
    double AmpVeltrack = 1;   // amp_veltrack / 100
    std::map<int, double> VelocityCurve;  // amp_velcurve_N; empty: velocity squared
    double Delay = 0, Attack = 0, Hold = 0, Decay = 0, Sustain = 1, Release = 0.001;  // ampeg_*, seconds, 0..1
    double CutoffHz = 0;      // 0: no filter
    double ResonanceDb = 0;
    double VeltrackCents = 0, KeytrackCents = 0;
    int KeyCenter = 60;
    bool OnePole = false;     // fil_type=lpf_1p
};

NoteShape ShapeSfzNote(const SfzVoice& voice, int key, int velocity);

}  // namespace norv::import
