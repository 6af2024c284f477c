// Writes backups of a file, one a second of a made-up clock, until it is killed, and prints the
// path of each backup once it has its name: BackupChild FILE PASSWORD KEEP
#include "store/FileBackups.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4)
        return 2;
    QDateTime taken(QDate(2026, 12, 8), QTime(9, 0, 0));
    try {
        for (;;) {
            taken = taken.addSecs(1);
            const QString backup =
                store::writeBackup(arguments[1], arguments[2], taken, arguments[3].toInt());
            std::printf("%s\n", qPrintable(backup));
            std::fflush(stdout);
        }
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
}
