#pragma once

namespace er {

// Contact ("CTRC") and note ("NTRC") records.
struct ContactInformation {
};

struct NotesInformation {
};

} // namespace er
