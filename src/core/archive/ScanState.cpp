#include "archive/ScanState.h"

namespace er {

ScanState::ScanState() = default;

void clearScanState(ScanState& state)
{
    state.mail.clear();
    state.contacts.clear();
    state.notes.clear();
    state.events.clear();
    state.tasks.clear();
    state.mailListTexts.clear();
    state.contactCount = 0;
    state.eventCount = 0;
    state.taskCount = 0;
    state.noteCount = 0;
    state.firstBlockOffset = 0;
    state.unreadableBytes = 0;
    state.map.clear();
}

} // namespace er
