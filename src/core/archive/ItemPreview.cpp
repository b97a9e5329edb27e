#include "archive/ItemPreview.h"

#include "calendar/CalendarPreview.h"
#include "contacts/ContactPreview.h"
#include "notes/NotePreview.h"

namespace er {

ItemPreview previewOf(const ScanState& state, const MailListRow& row)
{
    ItemPreview preview;
    preview.isMessage = true;
    preview.message = previewMessage(messageTextOfRow(state, row));
    return preview;
}

ItemPreview previewOf(const ScanState& state, ItemCategory category, std::size_t index)
{
    ItemPreview preview;
    switch (category) {
    case ItemCategory::Mail:
        break;
    case ItemCategory::Contacts:
        if (index < state.contacts.size())
            preview.lines = contactPreviewLines(state.contacts[index]);
        break;
    case ItemCategory::Calendar:
        if (index < state.events.size())
            preview.lines = eventPreviewLines(state.events[index]);
        break;
    case ItemCategory::Notes:
        if (index < state.notes.size())
            preview.lines = notePreviewLines(state.notes[index]);
        break;
    case ItemCategory::Tasks:
        if (index < state.tasks.size())
            preview.lines = taskPreviewLines(state.tasks[index]);
        break;
    }
    return preview;
}

} // namespace er
