#pragma once
// Decoders of the four mail block types. Each appends one record to the store
// before reading anything, so a block whose payload yields nothing still adds
// an empty record. They never fail: data that would pass the block's end
// leaves the field empty.

#include "format/BlockView.h"
#include "mail/MailRecords.h"

namespace er {

void decodeMailRecord(MailStore& store, const BlockView& block);
void decodeStoredMessage(MailStore& store, const BlockView& block);
void decodeMailAccount(MailStore& store, const BlockView& block);
void decodeAttachmentBlock(MailStore& store, const BlockView& block);

} // namespace er
