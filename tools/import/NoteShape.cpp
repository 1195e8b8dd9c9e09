#include "tools/import/NoteShape.h"

#include <algorithm>

namespace norv::import {

double NoteShape::FallDb(double seconds) const {
    if (seconds <= HoldSeconds) return 0.0;
    return std::min((seconds - HoldSeconds) * DecayDbPerSecond, std::max(FloorDb, 0.0));
}

}  // namespace norv::import
