#pragma once
// The decoder of note ("NTRC") blocks. It never fails: data that would pass
// the block's end leave the field present and empty.

#include "format/BlockView.h"
#include "notes/NoteRecords.h"

namespace er {

NoteRecord decodeNote(const BlockView& block);

} // namespace er
