#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

// The program on a machine with no display: it says so and stops, instead of running where
// nobody can see it.
class TestNoDisplay : public QObject {
    Q_OBJECT

    static QProcessEnvironment withoutDisplay() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        return environment;
    }

private slots:
    void withoutADisplayTheProgramSaysSoAndStops() {
        QProcess program;
        program.setProcessEnvironment(withoutDisplay());
        program.start(QStringLiteral(TWL_APP_DIR "/TWL"), {});
        QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
        QVERIFY(program.waitForFinished(60'000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        const QString message = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(message.contains(QLatin1String("no display found")), qPrintable(message));
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNoDisplay)
#include "TestNoDisplay.moc"
