#include "shell/Settings.h"
#include "support/ReadOnlyFolder.h"
#ifdef Q_OS_LINUX
#include "support/FullDisk.h"
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace twl;

namespace {

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_ini = m_dir.filePath("TWL.ini");
        QFile::remove(m_ini);
    }

    void defaultsWhenFileSectionOrKeyMissing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("other section")
            << QByteArray("[Other]\r\nCheckRes=False\r\nScorCopies=5\r\n");
        QTest::newRow("no keys") << QByteArray("[Settings]\r\n; CheckRes=False\r\n");
        QTest::newRow("key before any section") << QByteArray("CheckRes=False\r\n[Settings]\r\n");
    }
    void defaultsWhenFileSectionOrKeyMissing() {
        QFETCH(QByteArray, content);
        if (!content.isNull())
            writeBytes(m_ini, content);
        const AppSettings s = readAppSettings(m_ini);
        QCOMPARE(s.checkResolution, true);
        QCOMPARE(s.scoreSkipPreview, false);
        QCOMPARE(s.paySkipPreview, false);
        QCOMPARE(s.scoreCopies, qint16(1));
        QCOMPARE(readIniValue(m_ini, "Settings", "CheckRes", "dflt"), QString("dflt"));
    }

    void readsTheValueOfTheFirstMatchingKey_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("case and blanks")
            << QByteArray("[ sETTINGS ]\r\n  checkres  =  abc  \r\n") << "abc";
        QTest::newRow("LF line ends") << QByteArray("[Settings]\nCheckRes=abc\nX=1\n") << "abc";
        QTest::newRow("no final line end") << QByteArray("[Settings]\r\nCheckRes=abc") << "abc";
        QTest::newRow("quotes removed")
            << QByteArray("[Settings]\r\nCheckRes=\" a b \"\r\n") << " a b ";
        QTest::newRow("first '=' splits") << QByteArray("[Settings]\r\nCheckRes=a=b\r\n") << "a=b";
        QTest::newRow("first occurrence")
            << QByteArray("[Settings]\r\nCheckRes=one\r\nCheckRes=two\r\n") << "one";
        QTest::newRow("comment skipped")
            << QByteArray("[Settings]\r\n;CheckRes=no\r\nCheckRes=yes\r\n") << "yes";
        QTest::newRow("empty value") << QByteArray("[Settings]\r\nCheckRes=\r\n") << "";
        QTest::newRow("key in later section")
            << QByteArray("[A]\r\nx=1\r\n[Settings]\r\nCheckRes=abc\r\n[B]\r\nCheckRes=no\r\n")
            << "abc";
    }
    void readsTheValueOfTheFirstMatchingKey() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        writeBytes(m_ini, content);
        QCOMPARE(readIniValue(m_ini, "Settings", "CheckRes", "dflt"), expected);
    }

    void longValueIsCut() {
        writeBytes(m_ini, "[Settings]\r\nLong=" + QByteArray(3000, 'x') +
                              "\r\nExact=" + QByteArray(2407, 'y') + "\r\n");
        QCOMPARE(readIniValue(m_ini, "Settings", "Long", {}), QString(2407, u'x'));
        QCOMPARE(readIniValue(m_ini, "Settings", "Exact", {}), QString(2407, u'y'));
    }

    void boolConversion_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("checkRes");  // default true
        QTest::addColumn<bool>("skipScore"); // default false
        QTest::newRow("True") << QByteArray("True") << true << true;
        QTest::newRow("fALSE") << QByteArray("fALSE") << false << false;
        QTest::newRow("tRUE") << QByteArray("tRUE") << true << true;
        QTest::newRow("yes") << QByteArray("yes") << true << false;
        QTest::newRow("empty") << QByteArray("") << true << false;
        QTest::newRow("0") << QByteArray("0") << false << false;
        QTest::newRow("-1") << QByteArray("-1") << true << true;
        QTest::newRow("2.5") << QByteArray("2.5") << true << true;
        QTest::newRow("0.0") << QByteArray("0.0") << false << false;
        QTest::newRow("nan") << QByteArray("nan") << true << false;
    }
    void boolConversion() {
        QFETCH(QByteArray, text);
        QFETCH(bool, checkRes);
        QFETCH(bool, skipScore);
        writeBytes(m_ini, "[Settings]\r\nCheckRes=" + text + "\r\nScorSkipPP=" + text +
                              "\r\nPaySkipPP=" + text + "\r\n");
        const AppSettings s = readAppSettings(m_ini);
        QCOMPARE(s.checkResolution, checkRes);
        QCOMPARE(s.scoreSkipPreview, skipScore);
        QCOMPARE(s.paySkipPreview, skipScore);
    }

    void copiesConversion_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("copies");
        QTest::newRow("written form") << QByteArray(" 2") << 2;
        QTest::newRow("blanks") << QByteArray("  3 ") << 3;
        QTest::newRow("quoted blanks") << QByteArray("\" 4 \"") << 4;
        QTest::newRow("plus") << QByteArray("+5") << 5;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("max") << QByteArray("32767") << 32767;
        QTest::newRow("min") << QByteArray("-32768") << -32768;
        QTest::newRow("above range") << QByteArray("70000") << 1;
        QTest::newRow("below range") << QByteArray("-32769") << 1;
        QTest::newRow("fraction") << QByteArray("2.5") << 1;
        QTest::newRow("text") << QByteArray("yes") << 1;
        QTest::newRow("empty") << QByteArray("") << 1;
        QTest::newRow("sign only") << QByteArray("-") << 1;
        QTest::newRow("inner blank") << QByteArray("1 2") << 1;
    }
    void copiesConversion() {
        QFETCH(QByteArray, text);
        QFETCH(int, copies);
        writeBytes(m_ini, "[Settings]\r\nScorCopies=" + text + "\r\n");
        QCOMPARE(int(readAppSettings(m_ini).scoreCopies), copies);
    }

    void signedFormat() {
        QCOMPARE(formatSignedSetting(1), QString(" 1"));
        QCOMPARE(formatSignedSetting(0), QString(" 0"));
        QCOMPARE(formatSignedSetting(-3), QString("-3"));
        QCOMPARE(formatSignedSetting(32767), QString(" 32767"));
        QCOMPARE(formatSignedSetting(-32768), QString("-32768"));
    }

    void freshFileHasExactText() {
        QVERIFY(writeAppSettings(m_ini, AppSettings{}));
        QCOMPARE(readBytes(m_ini), QByteArray("[Settings]\r\nScorSkipPP=False\r\nPaySkipPP=False"
                                              "\r\nCheckRes=True\r\nScorCopies= 1\r\n"));
    }

    void rewriteKeepsOtherLines() {
        writeBytes(m_ini, "; settings of the program\n"
                          "[Other]\n"
                          "CheckRes=False\n"
                          "\n"
                          "[settings]\n"
                          "Foo = bar\n"
                          "scorcopies = 7\n"
                          "\n"
                          "[Last]\n"
                          "x=1");
        AppSettings s;
        s.scoreSkipPreview = true;
        s.scoreCopies = -1;
        QVERIFY(writeAppSettings(m_ini, s));
        QCOMPARE(readBytes(m_ini), QByteArray("; settings of the program\n"
                                              "[Other]\n"
                                              "CheckRes=False\n"
                                              "\n"
                                              "[settings]\n"
                                              "Foo = bar\n"
                                              "ScorCopies=-1\n"
                                              "ScorSkipPP=True\n"
                                              "PaySkipPP=False\n"
                                              "CheckRes=True\n"
                                              "\n"
                                              "[Last]\n"
                                              "x=1\n"));
    }

    void writeIniValueEdits() {
        writeBytes(m_ini, "[A]\r\nk=1\r\nk=2\r\n");
        QVERIFY(writeIniValue(m_ini, "a", "K", "new"));
        QVERIFY(writeIniValue(m_ini, "B", "z", "9"));
        QCOMPARE(readBytes(m_ini), QByteArray("[A]\r\nK=new\r\nk=2\r\n\r\n[B]\r\nz=9\r\n"));
        QCOMPARE(readIniValue(m_ini, "b", "Z", {}), QString("9"));
    }

    void roundTrip() {
        AppSettings s;
        s.checkResolution = false;
        s.scoreSkipPreview = true;
        s.paySkipPreview = true;
        s.scoreCopies = -1;
        QVERIFY(writeAppSettings(m_ini, s));
        QVERIFY(readBytes(m_ini).contains("\r\nScorCopies=-1\r\n"));
        const AppSettings back = readAppSettings(m_ini);
        QCOMPARE(back.checkResolution, false);
        QCOMPARE(back.scoreSkipPreview, true);
        QCOMPARE(back.paySkipPreview, true);
        QCOMPARE(back.scoreCopies, qint16(-1));

        s.scoreCopies = 12;
        QVERIFY(writeAppSettings(m_ini, s));
        QCOMPARE(readAppSettings(m_ini).scoreCopies, qint16(12));
        QCOMPARE(readBytes(m_ini).count("ScorCopies"), 1);
    }

    void writeToReadOnlyFolderFails() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("TWL.ini");
        const QByteArray old("[Settings]\r\nCheckRes=False\r\n");
        writeBytes(ini, old);
        ReadOnlyFolder guard(dir.path());
        if (guard.writable())
            QSKIP("cannot make a folder read-only here");
        QVERIFY(!writeAppSettings(ini, AppSettings{}));
        QVERIFY(!writeIniValue(ini, "Settings", "CheckRes", "True"));
        QCOMPARE(readBytes(ini), old);
    }

    // Exiting with a full disk once left the settings file at 0 bytes. A write that fails keeps
    // the previous file as it was, and says so.
    void writeToAFullDiskKeepsTheOldFile() {
#ifdef Q_OS_LINUX
        QTemporaryDir dir;
        FullDisk disk(dir.path());
        if (!disk.mounted())
            QSKIP("cannot mount a small file system here");
        const QString ini = dir.filePath("TWL.ini");
        const QByteArray old("; kept\r\n[Settings]\r\nCheckRes=False\r\nScorCopies= 3\r\n");
        writeBytes(ini, old);
        QVERIFY(disk.fill());
        AppSettings s;
        s.scoreCopies = 9;
        QVERIFY(!writeAppSettings(ini, s));
        QVERIFY(!writeIniValue(ini, "Settings", "CheckRes", "True"));
        QCOMPARE(readBytes(ini), old);
        QStringList names = QDir(dir.path()).entryList(QDir::Files);
        names.sort();
        QCOMPARE(names, QStringList({"TWL.ini", "filler"})); // no half-written copy left
        QCOMPARE(readAppSettings(ini).scoreCopies, qint16(3));
#else
        QSKIP("needs a Linux file system to fill");
#endif
    }

private:
    QTemporaryDir m_dir;
    QString m_ini;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
