#include "DeleteExhibitor.h"

#include "common/Prompt.h"
#include "entries/EntryDeletion.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

namespace twl {

AskDelete deleteDialogOver(QWidget* parent) {
    return [parent](const DelExh::ShownEntry& entry) {
        DelExh dialog(entry, parent);
        dialog.exec();
        return DeleteChoice{dialog.confirmed(), dialog.deleteAll()};
    };
}

DeleteOutcome deleteExhibitor(store::RecordSet& entries, const QString& showConnectionText,
                              const AskDelete& ask, Prompt& prompt,
                              const std::function<void()>& writeList) {
    if (!entries.isOpen() || entries.bof() || entries.eof())
        return {};
    const store::Value exhibitorNo = entries.value(QStringLiteral("Show Exh No"));
    const QString exhibitorText = exhibitorNo.toText();
    const QString classText = entries.value(QStringLiteral("Class No")).toText();
    const DeleteChoice choice =
        ask({exhibitorText, entries.value(QStringLiteral("Show Exh Nam")).toText(), classText});
    if (!choice.confirmed)
        return {};
    try {
        if (choice.deleteAll) {
            deleteEntriesOfExhibitor(showConnectionText, exhibitorNo.toInt());
            return {true, allEntriesDeletedMessage(exhibitorText)};
        }
        deleteCurrentEntry(entries, writeList);
        return {true, entryDeletedMessage(exhibitorText, classText)};
    } catch (const store::StoreError& error) {
        prompt.show(QStringLiteral("Trotwell"),
                    QStringLiteral("The entry could not be deleted; nothing was changed.\n\n") +
                        error.message(),
                    Prompt::Icon::Exclamation);
    }
    return {};
}

} // namespace twl
