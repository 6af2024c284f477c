#include "members/MailMerge.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace twl;

namespace {

// Members whose values an RTF writer can get wrong: a brace, a backslash, accents, a character
// outside the code page, an empty field.
std::vector<MailMerge::Row> awkwardMembers() {
    return {
        {"Ann {Nan} Baker", "12 Mill Lane", "", "Fairview", "KY", "40502", "M00001"},
        {QString::fromUtf8("Zoë Müller"), "Rue de l'Église 3", "Apt. 2",
         QString::fromUtf8("Genève"), "GE", "1201", "M00002"},
        {"C:\\Stable\\Back", "Box 7", "", "Lexington", "KY", "40511", "M00003"},
        {QString::fromUtf8("Ōkubo Ryō"), "1 Ring Rd", "", "Tokyo", "", "100-0001", "M00004"},
    };
}

} // namespace

// The member mail-merge file as a word processor reads it: LibreOffice converts the RTF to
// plain text once per run, and each member's values must come through as written. Skipped
// where LibreOffice is not installed.
class TestMailMergeLibreOffice : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_text;

private slots:
    void initTestCase() {
        const QString soffice = QStandardPaths::findExecutable("soffice");
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed");
        QVERIFY(m_dir.isValid());
        const QString rtf = m_dir.filePath("Merge.rtf");
        MailMerge::Writer writer(rtf);
        for (const MailMerge::Row& row : awkwardMembers())
            writer.writeMember(row);
        QVERIFY2(writer.finish(), qPrintable(writer.errorString()));

        // LibreOffice needs a profile and a home it may write to; it starts slowly, so it runs
        // once for every case.
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_dir.path());
        process.setProcessEnvironment(environment);
        process.start(soffice, {"--headless",
                                "-env:UserInstallation=" +
                                    QUrl::fromLocalFile(m_dir.filePath("profile")).toString(),
                                "--convert-to", "txt:Text", "--outdir", m_dir.path(), rtf});
        QVERIFY(process.waitForFinished(300000));
        QFile text(m_dir.filePath("Merge.txt"));
        QVERIFY2(text.open(QIODevice::ReadOnly), qPrintable(process.readAllStandardError()));
        m_text = QString::fromUtf8(text.readAll());
    }

    void headingRowComesThrough() {
        for (const char* heading :
             {"Name", "Address 1", "Address 2", "City", "State", "Zip", "Number"})
            QVERIFY2(m_text.contains(heading), heading);
    }

    void memberValuesComeThroughAsWritten_data() {
        QTest::addColumn<QString>("value");
        for (const MailMerge::Row& row : awkwardMembers())
            for (const QString& value : row)
                if (!value.isEmpty())
                    QTest::newRow(qPrintable(row[0] + " / " + value)) << value;
    }
    void memberValuesComeThroughAsWritten() {
        QFETCH(QString, value);
        QVERIFY2(m_text.contains(value), qPrintable(value + " not in:\n" + m_text));
    }

    // Each member's values stay on the member's own row, in column order.
    void membersKeepTheirOrder() {
        qsizetype from = m_text.indexOf("Number");
        for (const MailMerge::Row& row : awkwardMembers()) {
            for (const QString& value : row) {
                if (value.isEmpty())
                    continue;
                const qsizetype at = m_text.indexOf(value, from);
                QVERIFY2(at > from, qPrintable(value));
                from = at;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestMailMergeLibreOffice)
#include "TestMailMergeLibreOffice.moc"
