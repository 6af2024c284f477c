#pragma once

#include "common/TWL_public.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <memory>

// A program folder with a show open, as the screens see it: the shared values set for the show,
// the organisation file beside it and the class log folder. The shared values start afresh
// when it is made and are cleared again, with every connection, when it goes.
class OpenShowFolder {
public:
    OpenShowFolder(twl::TWL_public& shared, int classesUsed) : m_shared(shared) {
        m_shared = twl::TWL_public{};
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        QDir().mkpath(m_folder->file("TWL Class Log"));
        m_shared.session.AppFolder = m_folder->path();
        m_shared.session.ShowPath = m_folder->newShow("Spring Show.twl");
        m_shared.session.ShowConnString =
            store::dataConnectionText(m_shared.session.ShowPath, TestFolder::Password);
        m_shared.session.OrgConnString = store::dataConnectionText(orgFile(), TestFolder::Password);
        m_shared.session.TotClassUsed = classesUsed;
        m_shared.session.DateOfEvent = QDate(2005, 6, 18);
        QFile(orgFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    ~OpenShowFolder() {
        store::releaseAllConnections();
        m_folder.reset();
        m_shared = twl::TWL_public{};
    }
    OpenShowFolder(const OpenShowFolder&) = delete;
    OpenShowFolder& operator=(const OpenShowFolder&) = delete;

    const TestFolder& folder() const { return *m_folder; }
    QString orgFile() const { return m_folder->file("TWL.org"); }

protected:
    twl::TWL_public& m_shared;
    std::unique_ptr<TestFolder> m_folder;
};
