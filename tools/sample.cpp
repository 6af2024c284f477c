// twl_sample SHOWFILE [ENTRIES [EXHIBITORS [MEMBERS]]]
// Writes a sample show next to nothing it could overwrite, and adds sample members to the
// organisation file of the program's folder (the folder holding Base.dat and TWL.org, given by
// the TWL_APP_DIR environment value or the current folder).

#include "DataPassword.h"
#include "SampleData.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() < 2) {
        err << "usage: twl_sample SHOWFILE [ENTRIES [EXHIBITORS [MEMBERS]]]\n";
        return 2;
    }
    const QString folder = qEnvironmentVariableIsSet("TWL_APP_DIR")
                               ? qEnvironmentVariable("TWL_APP_DIR")
                               : QDir::currentPath();
    sample::ShowSample show;
    if (args.size() > 2)
        show.entries = args[2].toInt();
    if (args.size() > 3)
        show.exhibitors = args[3].toInt();
    const int members = args.size() > 4 ? args[4].toInt() : 200;
    show.members = members;
    if (show.entries < 0 || show.exhibitors < 1 || show.exhibitors > 32767 || members < 0) {
        err << "entries, exhibitors (1 to 32767) and members must be whole numbers\n";
        return 2;
    }
    try {
        if (!sample::writeSampleShow(folder + "/Base.dat", args[1], dataFilePassword(), show)) {
            err << args[1] << " exists already or the template is missing; nothing written\n";
            return 1;
        }
        const int added =
            sample::addSampleMembers(folder + "/TWL.org", dataFilePassword(), members);
        out << "Wrote " << args[1] << " with " << show.entries << " entries; added " << added
            << " members to " << folder << "/TWL.org\n";
    } catch (const store::StoreError& error) {
        err << error.message() << "\n";
        return 1;
    }
    return 0;
}
