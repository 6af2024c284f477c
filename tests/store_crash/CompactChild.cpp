// twl_compact_child FILE PASSWORD NUMBER
// Compacts FILE in place and prints a line as each step is reached: "started", the number of
// each step from 1, and "done", so that a test can kill it at a chosen point.

#include "store/Compaction.h"
#include "store/StoreError.h"

#include <QString>
#include <cstdio>

namespace {

void mark(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: twl_compact_child FILE PASSWORD NUMBER\n", stderr);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    const QString password = QString::fromLocal8Bit(argv[2]);
    const int number = QString::fromLocal8Bit(argv[3]).toInt();
    mark("started");
    try {
        store::compactFileInPlace(file, password, number, [](store::CompactionStep step) {
            const QByteArray line = QByteArray::number(int(step) + 1);
            mark(line.constData());
        });
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.message().toLocal8Bit().constData());
        return 1;
    }
    mark("done");
    return 0;
}
