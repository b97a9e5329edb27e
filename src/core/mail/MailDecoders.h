#pragma once
// Decoders of the four mail block types. Each appends one record to its list
// before reading anything, so a block whose payload yields nothing still adds
// an empty record. They never fail: data that would pass the block's end
// leaves the field empty.

#include "format/BlockView.h"
#include "archive/ScanState.h"

namespace er {

void InitializeMLRC(ScanState& state, const BlockView& block);
void InitializeMSRC(ScanState& state, const BlockView& block);
void InitializeMARC(ScanState& state, const BlockView& block);
void InitializeAttc(ScanState& state, const BlockView& block);

} // namespace er
