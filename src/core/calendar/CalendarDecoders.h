#pragma once
// Decoders of the calendar event ("CLRC") and task ("TSRC") blocks. They
// never fail: data that would pass the block's end leave the field empty.
// Office 2004 and Office 2008 databases store some fields differently.

#include "calendar/CalendarRecords.h"
#include "format/BlockView.h"

namespace er {

EventRecord decodeEvent(const BlockView& block, bool office2004);
TaskRecord decodeTask(const BlockView& block, bool office2004);

} // namespace er
