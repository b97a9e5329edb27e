#pragma once
// Note ("NTRC") records. Property fields follow the pair convention of
// format/PropertyText.h.

#include "format/PropertyText.h"

#include <QtGlobal>

#include <array>
#include <optional>

namespace er {

struct NoteRecord {
    OptionalBytes Property0D83; quint32 Property0D83Length = 0;
    OptionalBytes Property0D80; quint32 Property0D80Length = 0;
    OptionalBytes Summary; quint32 SummaryLength = 0;         // title
    OptionalBytes Description; quint32 DescriptionLength = 0; // body
    // Wide text whose UTF-16 form has no terminator (length n/2).
    OptionalBytes Property1F06; quint32 Property1F06Length = 0;
    // Mac stamps (bytes 4..7 of the property), zeros when outside the block.
    std::optional<std::array<quint8, 4>> StampTime2004; quint32 StampTime2004Length = 0;
    std::optional<std::array<quint8, 4>> StampTime; quint32 StampTimeLength = 0;
    OptionalBytes Property0D2B; quint32 Property0D2BLength = 0;
    OptionalBytes GUID; quint32 GUIDLength = 0;
};

} // namespace er
