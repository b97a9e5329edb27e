#pragma once
// Decoders of the contact ("CTRC") and note ("NTRC") blocks. Each appends one
// record before reading anything and never fails: data that would pass the
// block's end leave the field present and empty.

#include "format/BlockView.h"
#include "archive/ScanState.h"

namespace er {

// Appends a ContactInformation. The first contact of a scan resets
// ContactItemCount; a contact counts when isUsableContact() holds.
void InitializeCTRC(ScanState& state, const BlockView& block);
// Appends a NotesInformation; every note counts.
void InitializeNTRC(ScanState& state, const BlockView& block);

} // namespace er
