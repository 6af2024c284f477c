// twl_end_class_child PROGRAM_FOLDER SHOW_FILE PASSWORD LAST_CLASS
// Ends the classes 1 to LAST_CLASS that are not ended yet, one after the other, and
// prints "started", the class number as each class is ended, and "done", so that a test can kill
// it between or inside the runs.

#include "classes/EndClassWriter.h"
#include "store/ConnectionText.h"
#include "store/StoreError.h"

#include <QDate>
#include <QDir>
#include <QString>
#include <cstdio>

namespace {

void mark(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fputs("usage: twl_end_class_child PROGRAM_FOLDER SHOW_FILE PASSWORD LAST_CLASS\n",
                   stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString show = QString::fromLocal8Bit(argv[2]);
    const QString password = QString::fromLocal8Bit(argv[3]);
    const int lastClass = QString::fromLocal8Bit(argv[4]).toInt();
    mark("started");
    try {
        const QString showText = store::dataConnectionText(show, password);
        twl::EndClassWriter writer(showText,
                                   store::dataConnectionText(folder + "TWL.org", password));
        QDir().mkpath(folder + "TWL Class Log");
        twl::EndClassWriter::Request request;
        request.appFolder = folder;
        request.showDate = QDate(2026, 12, 8);
        request.settings = {true, 3, 0.5};
        for (int classNo = 1; classNo <= lastClass; ++classNo) {
            request.classNumber = QString::number(classNo);
            try {
                writer.run(request);
            } catch (const twl::EndClassWriter::Failure&) {
                continue; // already ended, as a class is after an earlier run
            }
            mark(QByteArray::number(classNo));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    mark("done");
    return 0;
}
