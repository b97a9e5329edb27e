#include "archive/ScanState.h"

#include "format/ByteOrder.h"

namespace er {

ScanState::ScanState() = default;

void CleanListAndHash(ScanState& state)
{
    state.hashMsrc.clear();
    state.hashMlrc.clear();
    state.hashFlrc.clear();
    state.hashMsrcParentID.clear();
    state.folderList.clear();
    state.unlinkedFolders.clear();
    state.mlrcList.clear();
    state.msrcList.clear();
    state.marcList.clear();
    state.attcList.clear();
    state.ctrcList.clear();
    state.ntrcList.clear();
    state.clrcList.clear();
    state.tsrcList.clear();
    state.mailListTexts.clear();
    state.MailItemCount = 0;
    state.ContactItemCount = 0;
    state.CalendarItemCount = 0;
    state.TaskItemCount = 0;
    state.NotesItemCount = 0;
    state.SizeOfAllMails = 0;
    state.NumberOfExtraFoldersToAdd = 0;
    state.firstOrphanFolderId = kFirstOrphanFolderID;
    state.dwPointertoFileLocation = 0;
    state.unreadableBytes = 0;
    state.map.clear();
}

} // namespace er
