#pragma once
// The decoder of note ("NTRC") blocks. It never fails: data that would pass
// the block's end leave the field present and empty.

#include "format/BlockView.h"
#include "notes/NoteRecords.h"

namespace er {

// Appends the note of the block to the store.
void decodeNote(const BlockView& block, NoteStore& store);

} // namespace er
