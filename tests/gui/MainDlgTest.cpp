// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the offscreen platform: start-up, relabelling, which
// commands and controls are enabled, the status display, the dialogs it opens,
// the manual and the ways out; the binary's screenshot mode.
#include "WindowFixture.h"
#include "base/ConfiguredFiles.h"
#include "emulator/EmulatedProgrammer.h"

#include <iostream>
#include <sstream>
#include <sys/stat.h>

using namespace qbr;
using namespace qbr::test;

class MainDlgTest : public QObject {
    Q_OBJECT

    static void ChooseType(WindowFixture& fixture, const QString& type) {
        auto* combo = fixture.Child<QComboBox>("typeCombo");
        combo->setCurrentIndex(combo->findText(type));
        emit combo->activated(combo->currentIndex());
    }
    static QString Text(int message) { return QString::fromStdString(MessageText(message)); }
    static QColor TextColour(QLabel* label) { return label->palette().color(QPalette::WindowText); }
    // The colour in the middle of the filled part of the progress bar.
    static QColor BarColour(QProgressBar* bar) { return bar->grab().toImage().pixelColor(6, bar->height() / 2); }

    QList<QUrl> openedUrls_;

public slots:
    void OpenUrl(const QUrl& url) { openedUrls_ << url; }

private slots:
    void startsWithTheDefaultChipAndWatchesTheLink() {
        WindowFixture fixture;
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString("EN25T80"));
        QCOMPARE(fixture.Child<QLabel>("checksumText")->text(), QString("CheckSum: 0FF00000H"));  // 1 MiB of 0xFF
        auto* link = fixture.Child<QLabel>("linkText");
        QTRY_COMPARE(link->text(), QString("USB Link OK!"));
        fixture.window().Emulator()->Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("No USB Link!"), 700);
        fixture.window().Emulator()->Replug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("USB Link OK!"), 700);

        // The chip in the emulated socket is worked on from the start, for this run
        // only; a chip the user picks afterwards is remembered as always.
        WindowFixture emulated("English", std::string("at24c02"));
        QCOMPARE(emulated.Child<QComboBox>("chipCombo")->currentText(), QString("AT24C02"));
        QCOMPARE(emulated.Child<QLabel>("checksumText")->text(), QString("CheckSum: 0000FF00H"));  // 256 B of 0xFF
        QCOMPARE(ReadConfig("Run", "DefaultChipName"), std::string("EN25T80"));
        emulated.window().Emulator()->Chip().Contents()[0] = 0x00;  // a read shows in the view and its sum
        emulated.Command(kCmdReadChip)->trigger();
        QCOMPARE(emulated.Child<QLabel>("checksumText")->text(), QString("CheckSum: 0000FE01H"));
        QVERIFY(emulated.Status().startsWith("Read chip ok!   Elapsed time: "));
        emulated.window().Presenter().OnChipNameChanged("AT24C04");
        QCOMPARE(ReadConfig("Run", "DefaultChipName"), std::string("AT24C04"));
        // A chip the database lacks is said as the command line says it; the socket holds the configured chip.
        std::ostringstream said;
        std::streambuf* err = std::cerr.rdbuf(said.rdbuf());
        WindowFixture unknown("SimpleChinese", std::string("NOSUCH"));
        std::cerr.rdbuf(err);
        QCOMPARE(said.str(), std::string("芯片数据库中没有名为 \"NOSUCH\" 的芯片。\n"));
        QCOMPARE(unknown.window().Emulator()->Chip().Record().chipName, std::string("EN25T80"));
    }

    // Menus, actions, tooltips, labels, button sizes and Qt's own texts (where Qt's
    // Chinese catalogue is installed) follow the language command.
    void languageCommandRelabelsTheWindow() {
        WindowFixture fixture;
        const bool qtCatalogue = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm");
        const char* chinese = "语言设置为简体中文!|器件选择|文件(F)|打开文件(&O)|打开文件";
        const char* english = "Set language to english!|Select Chip|File(F)|Open(&O)|Open File";
        for (auto [command, language, texts, width] :
             {std::tuple{kCmdChinese, "SimpleChinese", chinese, 38}, {kCmdEnglish, "English", english, 46}}) {
            fixture.Command(command)->trigger();
            QCOMPARE(ReadConfig("Run", "DefaultLanguage"), std::string(language));
            QAction* open = fixture.Command(kCmdOpenFile);
            QCOMPARE((QStringList{fixture.Status(), fixture.Child<QGroupBox>("chipGroup")->title(),
                                  fixture.window().menuBar()->actions().first()->text(), open->text(),
                                  open->toolTip()}),
                     QString(texts).split('|'));
            QVERIFY(fixture.Command(command)->isChecked());
            QVERIFY(!fixture.Command(command == kCmdEnglish ? kCmdChinese : kCmdEnglish)->isChecked());
            QCOMPARE(fixture.Button(kCmdOpenFile)->width(), width);
            QVERIFY(!qtCatalogue ||
                    (QCoreApplication::translate("QPlatformTheme", "OK") == "OK") == (command == kCmdEnglish));
        }
        // A picture file config.ini names that is a FIFO is not waited on for ever.
        QVERIFY(mkfifo(fixture.File("fifo.png").c_str(), 0600) == 0);
        WriteConfig("English", "MainPictureFile", "fifo.png");
        BuildMessageTable();
        fixture.window().Relabel();
        if (!qtCatalogue) QSKIP("Qt's own texts untested: qtbase_zh_CN.qm (qt6-translations-l10n) is not installed");
    }

    // Erase is offered for SPI flash only, also after relabelling; after a
    // database failure only the commands that need no chip are.
    void commandsFollowTheChipTypeAndTheDatabase() {
        WindowFixture chip;
        ChooseType(chip, "24 EEPROM");
        QVERIFY(!chip.Command(kCmdEraseChip)->isEnabled() && !chip.Button(kCmdEraseChip)->isEnabled());
        QVERIFY(chip.Command(kCmdWriteChip)->isEnabled());
        chip.Command(kCmdChinese)->trigger();
        QVERIFY(!chip.Command(kCmdEraseChip)->isEnabled());
        ChooseType(chip, "SPI FLASH");
        QVERIFY(chip.Button(kCmdEraseChip)->isEnabled());

        WindowFixture fixture("English", std::string(), {{"English", "DataBaseFile", "missing.dat"}});
        QCOMPARE(fixture.boxes, QStringList{"Database error!"});
        const auto on = [&](int command) { return fixture.Command(command)->isEnabled(); };
        for (int c : {kCmdOpenFile, kCmdBufferFill, kCmdEraseChip, kCmdReadChip, kCmdDetectChip}) QVERIFY(!on(c));
        for (int c : {kCmdExit, kCmdChinese, kCmdAbout, kCmdReadFirmwareVersion, kCmdSelfTest}) QVERIFY(on(c));
        QVERIFY(!fixture.Child<QWidget>("chipCombo")->isEnabled() &&
                !fixture.Child<QWidget>("searchButton")->isEnabled());
        fixture.Command(kCmdChinese)->trigger();  // must not bring Erase back without a chip
        QVERIFY(!on(kCmdEraseChip));
    }

    // Red text and bar on an error; information turns the text black and its
    // tooltip shows the whole text; the bar stays red until the next percentage.
    void errorStateColoursStatusAndBar() {
        WindowFixture fixture;
        auto* status = fixture.Child<QLabel>("statusText");
        auto* percent = fixture.Child<QLabel>("percentText");
        auto* bar = fixture.Child<QProgressBar>("progressBar");
        const QColor red(255, 0, 0);
        fixture.core().ShowError("No programmer linked to computer!");
        QVERIFY(TextColour(status) == red && TextColour(percent) == red && BarColour(bar) == red);
        QCOMPARE(bar->value(), 100);
        fixture.core().ShowInfo("Reading...");
        QVERIFY(TextColour(status) == QColor(Qt::black) && BarColour(bar) == red);
        QCOMPARE(status->toolTip(), QString("Reading..."));
        fixture.core().SetProgress(42);
        QVERIFY(percent->text() == "42%" && bar->value() == 42 && BarColour(bar) == QColor(49, 106, 197));
        fixture.core().ShowError("No programmer linked to computer!");
        fixture.core().SetProgress(0);  // the next command's progress is black again
        QVERIFY(TextColour(status) == QColor(Qt::black) && TextColour(percent) == QColor(Qt::black));
    }

    // The window's dialogs and the controls that follow a command's outcome.
    void commandsUpdateTheWindow() {
        WindowFixture fixture("English", std::string(), {{"Run", "DefaultChipName", "W25Q64FV"}});  // 8 MiB
        WhenDialogOpens("bufferFillDlg", [](QDialog& dialog) {
            for (auto [name, text] : {std::pair{"startEdit", "10"}, {"lengthEdit", "20"}, {"dataEdit", "A5"}}) {
                dialog.findChild<QLineEdit*>(name)->setText(text);
            }
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        fixture.Command(kCmdBufferFill)->trigger();
        const auto& bytes = fixture.core().Buffer().bytes;
        QVERIFY(bytes[0xF] == 0xFF && bytes[0x10] == 0xA5 && bytes[0x2F] == 0xA5 && bytes[0x30] == 0xFF);

        // While a read runs the window keeps drawing its progress.
        fixture.window().Emulator()->SetSpeed({32'000'000, std::chrono::microseconds(0)});
        int progressSeen = -1;
        QTimer probe;
        probe.callOnTimeout([&] {
            if (progressSeen < 0 && fixture.Status() == "Reading...") {
                progressSeen = fixture.Child<QProgressBar>("progressBar")->value();
            }
        });
        probe.start(2);
        fixture.Command(kCmdReadChip)->trigger();
        QVERIFY(progressSeen >= 0 && progressSeen < 100);

        const std::string image = fixture.File("image.bin");
        fixture.window().SetFileResponder([&](bool) { return std::optional(image); });
        fixture.Command(kCmdSaveFile)->trigger();
        fixture.Command(kCmdOpenFile)->trigger();  // the file saved, named in the title
        QVERIFY(fixture.window().windowTitle().endsWith(QString::fromStdString("   " + image)));

        QString version;
        WhenDialogOpens("aboutDlg", [&](QDialog& dialog) {
            version = dialog.findChild<QLabel*>("versionText")->text();
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        fixture.Command(kCmdAbout)->trigger();
        QCOMPARE(version, QString::fromStdString(ReadConfig("English", "Version")));

        // The manual goes to the program that shows such files; a missing file and a file
        // no program could be started for (the offscreen platform starts none) are told apart.
        const QString manual = QString::fromStdString(ConfiguredFilePath(ConfiguredFile::Manual));
        fixture.Command(kCmdUserManual)->trigger();
        WriteFileText(manual.toStdString(), "");
        QDesktopServices::setUrlHandler("file", this, "OpenUrl");
        fixture.Command(kCmdUserManual)->trigger();
        QDesktopServices::unsetUrlHandler("file");
        fixture.Command(kCmdUserManual)->trigger();
        QCOMPARE(openedUrls_, QList<QUrl>{QUrl::fromLocalFile(manual)});
        QCOMPARE(fixture.boxes, (QStringList{"No manual file!", Text(kMsgNoManualViewer) + manual}));
    }

    // Every way out asks while edits would be lost, also after a failed save, and
    // leaves on Yes only; it leaves at once after a save that worked, and not while
    // a read runs. The Chinese rows answer the real box by its button's label.
    // Enter does nothing.
    void everyWayOutAsksBeforeEditsAreLost_data() {
        QTest::addColumn<int>("way");  // Escape, Exit, the window system's close (close button, window manager)
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("answer");  // Yes/No by the responder, else the label clicked on the real box
        QStringList rows{"0|typed, failed save|No", "0|typed, saved|No", "2|reading|Yes", "1|typed|否", "2|typed|是"};
        for (QString way : {"0", "1", "2"}) rows << way + "|nothing|No" << way + "|typed|Yes" << way + "|typed|No";
        for (const QString& row : rows) {
            const QStringList cells = row.split('|');
            QTest::newRow(qPrintable(row)) << cells[0].toInt() << cells[1] << cells[2];
        }
    }

    void everyWayOutAsksBeforeEditsAreLost() {
        QFETCH(int, way);
        QFETCH(QString, before);
        QFETCH(QString, answer);
        const bool realBox = answer != "Yes" && answer != "No";
        const bool asks = before.startsWith("typed") && !before.endsWith("saved");
        const bool yes = answer == "Yes" || answer == "是";
        const bool reading = before == "reading";  // a way out while a read runs
        WindowFixture fixture(realBox ? "SimpleChinese" : "English");
        gui::MainDlg& window = fixture.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        if (before.startsWith("typed")) QTest::keyClicks(fixture.Child<QWidget>("hexView"), "12");
        const std::string image = fixture.File(before.contains("failed") ? "no/such/image.bin" : "image.bin");
        window.SetFileResponder([&](bool) { return std::optional(image); });
        if (before.contains("save")) fixture.Command(kCmdSaveFile)->trigger();
        fixture.boxes.clear();
        fixture.Answer(yes);
        if (realBox) {
            window.SetBoxResponder(nullptr);
            WhenDialogOpens("yesNoBox", [&](QDialog& box) {
                fixture.boxes << static_cast<QMessageBox&>(box).text();
                for (QPushButton* button : box.findChildren<QPushButton*>()) {
                    if (button->text() == answer) return button->click();
                }
                box.reject();
            });
        }
        const auto leave = [&] {
            if (way == 0) QTest::keyClick(&window, Qt::Key_Escape);
            if (way == 1) fixture.Command(kCmdExit)->trigger();
            if (way == 2) window.windowHandle()->close();
        };
        if (reading) {
            window.Emulator()->SetSpeed({8'000'000, std::chrono::microseconds(0)});
            QTimer::singleShot(20, &window, leave);
            fixture.Command(kCmdReadChip)->trigger();
        } else {
            leave();
        }
        QCOMPARE(window.isVisible(), reading || (asks && !yes));
        const QStringList question{Text(reading ? kMsgProgrammerBusy : kMsgCloseWithEdits)};
        QCOMPARE(fixture.boxes, asks || reading ? question : QStringList{});
    }

    // The binary in screenshot mode draws its window into a PNG and ends without
    // waiting, also after a message box. One file named on the command line is
    // loaded; of two, neither is. The word after --emulate names the chip, the word
    // after --trace the trace.
    void screenshotModeWritesThePngAndAnswersBoxes() {
        qbr::test::TempDir dir;  // a portable installation: config.ini and database beside the binary
        for (const char* name : {"qbr5150", "config.ini", "chips.dat", "main.png"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir.file(name));
        }
        const auto path = [&](const char* name) { return QString::fromStdString(dir.file(name).string()); };
        QString errors;  // of the last run
        const auto run = [&](const QString& png, const QStringList& files = {},
                             const QStringList& emulate = {"--emulate"}) {
            QProcess process;
            process.setWorkingDirectory(path("."));
            process.start(path("qbr5150"), emulate + QStringList{"--screenshot", png} + files);
            if (!process.waitForFinished(30000)) process.kill();
            errors = QString::fromUtf8(process.readAllStandardError());
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        QCOMPARE(run(path("shot.png"), {path("missing.bin")}), 0);
        QVERIFY(errors.contains("Open file error!"));
        const QImage image(path("shot.png"), "PNG");  // the buffer's view (600 x 420) and the controls around it
        QVERIFY2(image.width() >= 600 && image.height() >= 520, qPrintable(QString::number(image.height())));
        run(path("shot.png"), {path("missing.bin"), path("missing.bin")});
        QVERIFY(!errors.contains("Open file error!"));
        QVERIFY(run(path("no/such/dir/shot.png")) > 0);
        run(path("shot.png"), {}, {"--emulate", "NOSUCHCHIP"});
        QVERIFY2(errors.contains("No chip named \"NOSUCHCHIP\""), qPrintable(errors));
        run(path("shot.png"), {}, {"--trace", "--emulate", "--emulate"});  // a trace named like an option
        QVERIFY(std::filesystem::exists(dir.file("--emulate")));
        // A chip image that is refused is said, and the window goes on without it, then ends with status 1.
        QCOMPARE(run(path("shot.png"), {}, {"--emulate", "--emulate-image", path(".")}), 1);
        // A new chip image is the erased chip, saved back at the end; the emulator's
        // options ask for the emulated programmer; the count is read as the command line reads it.
        QCOMPARE(run(path("shot.png"), {}, {"--emulate", "24C02", "--emulate-image", path("new.bin")}), 0);
        QCOMPARE(qbr::test::ReadFileText(dir.file("new.bin")), std::string(256, '\xFF'));
        QVERIFY(run(path("shot.png"), {}, {"--emulate-image", path("new.bin")}) > 0);
        QVERIFY2(errors.contains("works only with the emulated programmer"), qPrintable(errors));
        QCOMPARE(run(path("shot.png"), {}, {"--emulate-count", "0x2"}), 0);
        QVERIFY(run(path("shot.png"), {}, {"--emulate-count", "2", "--emulate-image", path("new.bin")}) > 0);
        QVERIFY2(errors.contains("needs %d"), qPrintable(errors));
        QVERIFY(run(path("t.json"), {}, {"--emulate", "--trace", path("t.json")}) > 0);  // the picture over the trace
        QVERIFY2(errors.contains("names a file this run also reads or writes"), qPrintable(errors));
        QCOMPARE(run(path("shot.png"), {}, {"--emulate", "--trace", "/dev/full"}), 1);  // a trace cut short
        QVERIFY2(errors.contains("could not be written whole"), qPrintable(errors));
        // Help needs no display.
        QProcess help;
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        noDisplay.insert("QT_QPA_PLATFORM", "xcb");
        noDisplay.remove("DISPLAY");
        help.setProcessEnvironment(noDisplay);
        help.start(path("qbr5150"), {"--help"});
        QVERIFY(help.waitForFinished(30000));
        QCOMPARE(help.exitStatus(), QProcess::NormalExit);
        QVERIFY(help.readAllStandardOutput().contains("--emulate-image"));
        // No compare of a buffer that isn't the file named.
        run(path("shot.png"), {path("missing.bin")}, {"--emulate", "--compare"});
        QVERIFY2(errors.contains("Open file error!") && !errors.contains("no byte differs"), qPrintable(errors));
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
