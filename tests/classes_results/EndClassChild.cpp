// twl_end_class_child SHOW ORG PASSWORD APP_FOLDER CLASS STOP
// Ends CLASS of SHOW (organisation file ORG, class logs in APP_FOLDER) and prints a line as
// each step is reached: "started", "committed", "placed" (the log in place) and "done", so that
// a test can kill it at a chosen point. STOP names a step at which it waits to be killed
// ("none": it runs to the end).

#include "classes/EndClassWriter.h"
#include "store/ConnectionText.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

namespace {

void mark(const char* line, const QString& stop) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (stop == QLatin1String(line))
        for (;;)
            ::pause();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 7) {
        std::fputs("usage: twl_end_class_child SHOW ORG PASSWORD APP_FOLDER CLASS STOP\n", stderr);
        return 2;
    }
    const QString& stop = args[6];
    try {
        twl::EndClassWriter writer(store::dataConnectionText(args[1], args[3]),
                                   store::dataConnectionText(args[2], args[3]));
        mark("started", stop);
        writer.run({args[5], {true, 8, 0.5}, args[4], QDate(2005, 6, 18)},
                   [&stop](twl::EndClassWriter::Step step) {
                       mark(step == twl::EndClassWriter::Step::Committed ? "committed" : "placed",
                            stop);
                   });
    } catch (const twl::EndClassWriter::Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.reason().toLocal8Bit().constData());
        return 1;
    }
    mark("done", stop);
    return 0;
}
