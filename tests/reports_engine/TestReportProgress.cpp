#include "reports/ReportPainter.h"
#include "reports/TextExport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using reports::PagedReport;
using reports::ReportCancelled;

namespace {

constexpr int Pages = 5;

PagedReport fivePages() {
    PagedReport report;
    report.title = QStringLiteral("Show Roster");
    for (int p = 1; p <= Pages; ++p) {
        reports::Page page;
        for (int row = 0; row < 3; ++row) {
            reports::PlacedItem text;
            text.twips = QRect(720, 720 + row * 400, 4000, 300);
            text.text = QStringLiteral("Page %1 row %2").arg(p).arg(row);
            page.items.push_back(text);
        }
        report.pages.push_back(page);
    }
    return report;
}

// Records every step it is told of and asks to stop once `stopAt` steps are done.
class StoppingProgress : public reports::ReportProgress {
public:
    explicit StoppingProgress(int stopAt = -1) : m_stopAt(stopAt) {}
    bool advance(int done, int total, const QString& step) override {
        steps << QStringLiteral("%1/%2 %3").arg(done).arg(total).arg(step);
        return done != m_stopAt;
    }
    QStringList steps;

private:
    int m_stopAt;
};

// A PDF without the moment it was made.
QByteArray timeless(QByteArray pdf) {
    static const QRegularExpression date(QStringLiteral(R"(/CreationDate \(D:[^)]*\))"));
    return QString::fromLatin1(pdf).remove(date).toLatin1();
}

using Save = void (*)(const PagedReport&, const QString&, reports::ReportProgress&);

} // namespace

class TestReportProgress : public QObject {
    Q_OBJECT

private slots:
    void aStoppedSaveLeavesTheFolderAsItWas() {
        const Save pdf = reports::writePdfWithProgress;
        const Save text = reports::writePlainTextWithProgress;
        // The text export reads every page twice: 2 * Pages steps.
        const struct {
            const char* name;
            Save save;
            int stopAt;
            bool fileThere; // a file of the name was there before
        } cases[] = {
            {"PDF, at the first page", pdf, 0, false},
            {"PDF, mid-way", pdf, 2, true},
            {"PDF, after the last page", pdf, Pages, false},
            {"text, at the first page", text, 0, true},
            {"text, mid-way", text, Pages + 2, false},
            {"text, after the last page", text, 2 * Pages, true},
        };
        for (const auto& c : cases) {
            QTemporaryDir folder;
            const QString path = folder.filePath(QStringLiteral("Roster.out"));
            if (c.fileThere) {
                QFile earlier(path);
                QVERIFY(earlier.open(QIODevice::WriteOnly));
                earlier.write("an earlier copy");
            }
            StoppingProgress progress(c.stopAt);
            try {
                c.save(fivePages(), path, progress);
                QFAIL(c.name);
            } catch (const ReportCancelled&) {
                // what a stopped save does
            }
            QCOMPARE(progress.steps.size(), c.stopAt + 1);
            const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
            QVERIFY2(left == (c.fileThere ? QStringList{"Roster.out"} : QStringList{}), c.name);
            if (c.fileThere) {
                QFile earlier(path);
                QVERIFY(earlier.open(QIODevice::ReadOnly));
                QVERIFY2(earlier.readAll() == "an earlier copy", c.name);
            }
        }
    }

    // Followed to its end, an export is the same as one nobody watched, and every page was told.
    void aWatchedExportIsTheSameAsBefore() {
        const PagedReport report = fivePages();
        StoppingProgress text;
        QCOMPARE(reports::plainText(report, &text), reports::plainText(report));
        QCOMPARE(text.steps.size(), 2 * Pages + 1);
        QCOMPARE(text.steps.first(), QStringLiteral("0/10 Reading page 1 of 5"));
        QCOMPARE(text.steps[Pages], QStringLiteral("5/10 Page 1 of 5"));
        QCOMPARE(text.steps.last(), QStringLiteral("10/10 Page 5 of 5"));

        StoppingProgress pdf;
        QCOMPARE(timeless(reports::pdfDocument(report, 2, &pdf)),
                 timeless(reports::pdfDocument(report, 2)));
        QCOMPARE(pdf.steps.size(), 2 * Pages + 1);
        QCOMPARE(pdf.steps[Pages + 1], QStringLiteral("6/10 Page 2 of 5, copy 2 of 2"));
        QCOMPARE(pdf.steps.last(), QStringLiteral("10/10 Page 5 of 5, copy 2 of 2"));
    }
};

QTEST_MAIN(TestReportProgress)
#include "TestReportProgress.moc"
