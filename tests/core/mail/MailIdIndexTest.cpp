// The id indexes built after the walk: every bit of a 32-bit id counts, and
// among records sharing an id the last one in scan order is the one found.

#include "mail/MailRecords.h"

#include <gtest/gtest.h>

namespace er {

TEST(MailIdIndex, WideIdsAndSharedIdsKeepScanOrder)
{
    // Ids that differ only in the low, middle or top bits, in an order that
    // no single pass would sort, with repeats.
    const quint32 ids[] = {0xFFFFFFFFu, 7, 0x00400007u, 0x80000000u, 7, 0x00000807u, 0xFFFFFFFFu, 0x00400007u, 1};
    MailStore store;
    quint64 offset = 0;
    for (const quint32 id : ids) {
        MailRecord record;
        record.mailId = id;
        record.blockOffset = ++offset; // tells the records apart
        store.records.push_back(record);
        StoredMessage message;
        message.mailId = id;
        message.blockSize = 64;
        message.blockOffset = offset;
        store.messages.push_back(message);
    }
    store.indexIds();

    const struct {
        quint64 id;
        int count;
        quint64 lastOffset; // 0: none
    } expected[] = {{7, 2, 5}, {0xFFFFFFFFu, 2, 7}, {0x00400007u, 2, 8}, {0x80000000u, 1, 4},
                    {0x00000807u, 1, 6}, {1, 1, 9}, {0x00000007u | 0x100000000ull, 0, 0}, {2, 0, 0}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        EXPECT_EQ(store.recordsWithId(e.id), e.count);
        EXPECT_EQ(store.messagesWithId(e.id), e.count);
        const MailRecord* record = store.lastRecordWithId(e.id);
        const StoredMessage* message = store.lastMessageWithId(e.id);
        EXPECT_EQ(record ? record->blockOffset : 0, e.lastOffset);
        EXPECT_EQ(message ? message->blockOffset : 0, e.lastOffset);
    }
}

} // namespace er
