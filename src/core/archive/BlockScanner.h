#pragma once
// The block scanner: walks a database file from its first byte to its last
// without trusting any index, finds the typed blocks, and hands each valid
// block to the decoder of its tag.

#include "archive/ScanState.h"

#include <QString>

#include <atomic>
#include <functional>

namespace er {

struct ScanHooks {
    // Called once per examined position with how far the walk has got, in
    // 512-byte units of the file (never more than the range), and the
    // progress range (file size / 512); once more with the range itself when
    // the walk ends. Keep it cheap.
    std::function<void(quint64 done, quint32 range)> progress;
    // Called once, at the first recognised block after the first folder table
    // was decoded, so that a window can show the folders while the scan runs.
    std::function<void()> foldersAvailable;
    // Stop token; when null the state's stopFlag is used.
    std::atomic<bool>* stop = nullptr;
};

struct ScanOutcome {
    enum Kind {
        Completed,     // the whole file was walked and something usable found
        Stopped,       // the stop token was set; the partial results are dropped
        CannotOpen,    // the file could not be opened (see reason)
        NothingUsable, // walked to the end, but no folder, contact, task, note or message text
    };
    Kind kind = Completed;
    QString reason;
};

// Block tags the scanner recognises (compared byte for byte, case matters).
enum class BlockTag { None, FLID, MLRC, MSrc, MaRC, Attc, CTRC, CLRC, TSRC, NTRC };

BlockTag blockTagOf(const unsigned char* header4);
// The largest block length (inclusive) decoded for the tag.
quint64 blockLimitOf(BlockTag tag);
// Byte 7 (the size field's low byte) must be 0xEC and byte 8 0x00 or 0x01.
bool checkBytesValid(const unsigned char* header9);
// How many of a block's bytes its decoder reads (the rest need not be read).
quint64 blockBytesDecoded(BlockTag tag, quint64 length);
// L = size field + 20.
quint64 blockLengthOf(const unsigned char* header8);

// Scans the file: empties the state, walks every position, decodes every
// valid block, removes duplicate folders, links mails to folders (adding the
// orphan folders) and names the account folders.
ScanOutcome scanDatabase(const QString& path, ScanState& state, const ScanHooks& hooks = {});

// Decodes one block with the decoder of its tag (used by the scanner, and by
// the fuzz targets and tests that feed single blocks).
class BlockView;
void decodeBlock(ScanState& state, BlockTag tag, const BlockView& block);

} // namespace er
