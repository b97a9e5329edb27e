#pragma once
// Decoders of the calendar event ("CLRC") and task ("TSRC") blocks. They
// never fail: data that would pass the block's end leave the field empty.
// Office 2004 and Office 2008 databases store some fields differently.

#include "calendar/CalendarRecords.h"
#include "format/BlockView.h"

namespace er {

// Each appends the item of the block to the store.
void decodeEvent(const BlockView& block, bool office2004, EventStore& store);
void decodeTask(const BlockView& block, bool office2004, TaskStore& store);

} // namespace er
