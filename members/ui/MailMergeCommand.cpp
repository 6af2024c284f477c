#include "MailMergeCommand.h"

#include "common/Services.h"
#include "members/MailMerge.h"

#include <QDir>
#include <QScopeGuard>

namespace twl {

namespace {

const QString FileErrorTitle = QStringLiteral("Trotwell, File Error");

} // namespace

void createMailMergeFile(Services& services) {
    const QString folder = QDir::currentPath();
    const auto restoreFolder = qScopeGuard([&folder] { QDir::setCurrent(folder); });

    FileChooser::Request request;
    request.title = MailMerge::DialogTitle;
    request.presetName = MailMerge::ProposedName;
    request.filter = MailMerge::FilePattern;
    request.forSaving = true;
    const QString chosen = services.files.choose(request);
    if (chosen.isEmpty())
        return;

    const QString path = QDir::toNativeSeparators(MailMerge::fileName(chosen));
    const MailMerge::Outcome outcome =
        MailMerge::writeRegister(services.shared.session.OrgConnString, path);
    switch (outcome.result) {
    case MailMerge::Outcome::Result::Written:
        return;
    case MailMerge::Outcome::Result::ReadFailed:
        services.prompt.show(FileErrorTitle,
                             QStringLiteral("The member register could not be read, so the mail "
                                            "merge file ") +
                                 path + QStringLiteral(" was not written.\n") + outcome.detail,
                             Prompt::Icon::Critical);
        return;
    case MailMerge::Outcome::Result::WriteFailed:
        services.prompt.show(FileErrorTitle,
                             QStringLiteral("The mail merge file ") + path +
                                 QStringLiteral(" could not be written.\n") + outcome.detail,
                             Prompt::Icon::Critical);
        return;
    }
}

} // namespace twl
