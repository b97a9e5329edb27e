#pragma once
// Note ("NTRC") records. Property fields follow the convention of
// format/FieldStore.h.

#include "format/FieldStore.h"

#include <QtGlobal>

#include <array>
#include <optional>

namespace er {

enum class NoteField : quint8 {
    Property0D83,
    Property0D80,
    Summary,     // title
    Description, // body
    // Wide text whose UTF-16 form has no terminator (length n/2).
    Property1F06,
    Property0D2B,
    GUID,
};

struct NoteRecord {
    FieldRange fields;
    // Mac stamps (bytes 4..7 of the property), zeros when outside the block.
    std::optional<std::array<quint8, 4>> StampTime2004; quint32 StampTime2004Length = 0;
    std::optional<std::array<quint8, 4>> StampTime; quint32 StampTimeLength = 0;
};

using NoteStore = FieldStore<NoteRecord, NoteField>;
using NoteView = NoteStore::View;

} // namespace er
