#pragma once
// The decoder of contact ("CTRC") blocks. It never fails: data that would
// pass the block's end leave the field present and empty.

#include "contacts/ContactRecords.h"
#include "format/BlockView.h"

namespace er {

// Appends the contact of the block to the store.
void decodeContact(const BlockView& block, ContactStore& store);

} // namespace er
