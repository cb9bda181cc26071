// SPDX-License-Identifier: GPL-3.0-or-later
// The program binary in screenshot mode: it starts, draws its window into a PNG
// and ends without waiting for anyone, also when a message box comes up.
#include "support/TempDir.h"

#include <QImage>
#include <QProcess>
#include <QtTest>

#include <filesystem>

using qbr::test::TempDir;

class ScreenshotTest : public QObject {
    Q_OBJECT

private:
    // A portable installation in a temporary directory: the binary finds its
    // config.ini and database beside itself.
    static void Install(const TempDir& dir) {
        for (const char* name : {"qbr5150", "config.ini", "chips.dat", "main.png"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir.file(name));
        }
    }

    struct Run {
        int exitCode = -1;
        QString errors;
    };

    static Run Screenshot(const TempDir& dir, const QString& png, const QStringList& more = {}) {
        QProcess process;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
        process.start(QString::fromStdString(dir.file("qbr5150").string()),
                      QStringList{"--emulate", "--screenshot", png} + more);
        Run run;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.errors = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private slots:
    void writesTheWindowAsPngAndAnswersBoxes() {
        TempDir dir;
        Install(dir);
        const QString png = QString::fromStdString(dir.file("shot.png").string());
        QCOMPARE(Screenshot(dir, png).exitCode, 0);
        QImage image;
        QVERIFY(image.load(png, "PNG"));
        // Room for the buffer's view (600 x 420) plus the controls around it.
        QVERIFY2(image.width() >= 600 && image.height() >= 520,
                 qPrintable(QString("%1 x %2").arg(image.width()).arg(image.height())));
        // One file named on the command line is loaded; of two, neither is.
        const QString missing = QString::fromStdString(dir.file("missing.bin").string());
        QVERIFY(Screenshot(dir, png, {missing}).errors.contains("Open file error!"));
        QVERIFY(!Screenshot(dir, png, {missing, missing}).errors.contains("Open file error!"));

        std::filesystem::remove(dir.file("chips.dat"));
        const Run run = Screenshot(dir, png);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.errors.contains("Database error!"), qPrintable(run.errors));
        QVERIFY(Screenshot(dir, QString::fromStdString(dir.file("no/such/dir/shot.png").string())).exitCode > 0);
    }
};

QTEST_MAIN(ScreenshotTest)
#include "ScreenshotTest.moc"
