#pragma once
// Decoders of the calendar event ("CLRC") and task ("TSRC") blocks. Each
// appends one record before reading anything, so every block counts, and
// never fails: data that would pass the block's end leave the field empty.

#include "format/BlockView.h"
#include "archive/ScanState.h"

namespace er {

void InitializeCLRC(ScanState& state, const BlockView& block);
void InitializeTSRC(ScanState& state, const BlockView& block);

} // namespace er
