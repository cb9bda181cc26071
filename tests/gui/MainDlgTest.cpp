// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the offscreen platform: start-up, relabelling, which
// commands and controls are enabled, the status display, the dialogs it opens
// and the question before unsaved edits are lost; the binary's screenshot mode.
#include "WindowFixture.h"
#include "emulator/EmulatedProgrammer.h"

using namespace qbr;
using namespace qbr::test;

namespace {

// The actions' texts, separators as "-".
QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions) texts << (action->isSeparator() ? QString("-") : action->text());
    return texts;
}

void ChooseType(WindowFixture& fixture, const QString& type) {
    auto* combo = fixture.Child<QComboBox>("typeCombo");
    combo->setCurrentIndex(combo->findText(type));
    emit combo->activated(combo->currentIndex());
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

    static QColor TextColour(QLabel* label) { return label->palette().color(QPalette::WindowText); }
    // The colour in the middle of the filled part of the progress bar.
    static QColor BarColourNearStart(QProgressBar* bar) {
        return bar->grab().toImage().pixelColor(6, bar->height() / 2);
    }

private slots:
    void startsWithTheDefaultChip() {
        WindowFixture fixture;
        QCOMPARE(fixture.Child<QComboBox>("makerCombo")->currentText(), QString("EON"));
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString("EN25T80"));
        QCOMPARE(fixture.Child<QLabel>("capacityText")->text(), QString("1MB"));
        QCOMPARE(fixture.Child<QLabel>("checksumText")->text(), QString("CheckSum: 0FF00000H"));  // 1 MiB of 0xFF
        QCOMPARE(fixture.Status(), QString("EN25T80"));
        QCOMPARE(fixture.window().windowTitle(), QString("QBR5150 Serial Memory Programmer"));
        QVERIFY(fixture.boxes.isEmpty());
        // The link watch follows the programmer being unplugged and plugged in again.
        auto* link = fixture.Child<QLabel>("linkText");
        QTRY_COMPARE(link->text(), QString("USB Link OK!"));
        fixture.window().Emulator()->Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("No USB Link!"), 700);
        fixture.window().Emulator()->Replug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("USB Link OK!"), 700);

        WindowFixture none("English", std::nullopt);
        QCOMPARE(none.boxes, QStringList{"No programmer linked to computer!"});
        QCOMPARE(none.Status(), QString("No programmer linked to computer!"));
        QCOMPARE(none.Child<QLabel>("percentText")->text(), QString("ERROR"));
        QTRY_COMPARE(none.Child<QLabel>("linkText")->text(), QString("No USB Link!"));

        // A language setting other than the two known ones: the Chinese menu and empty texts.
        WindowFixture unknown("english");
        QCOMPARE(unknown.window().menuBar()->actions().first()->text(), QString("文件(F)"));
        QVERIFY(unknown.Command(kCmdChinese)->isChecked());
        QVERIFY(unknown.window().windowTitle().isEmpty() && unknown.Child<QLabel>("typeLabel")->text().isEmpty());
    }

    void languageCommandRelabels_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("texts");  // status, group title, Open's tooltip, menu titles, File menu
        QTest::addColumn<int>("buttonWidth");
        QTest::newRow("English") << int(kCmdEnglish)
                                 << "Set language to english!|Select Chip|Open File|File(F)|Edit(&E)|Programmer(&P)|"
                                    "Firmware(&W)|Language(&L)|Help(&H)|Open(&O)|Save(&S)|-|Exit(&X)"
                                 << 46;
        QTest::newRow("SimpleChinese")
            << int(kCmdChinese)
            << "语言设置为简体中文!|器件选择|打开文件|文件(F)|缓冲区(&B)|编程器(&E)|"
               "固件(&W)|语言(Language)(&L)|帮助(&H)|打开文件(&O)|保存文件(&S)|-|退出程序(&X)"
            << 38;
    }

    void languageCommandRelabels() {
        QFETCH(int, command);
        QFETCH(QString, texts);
        QFETCH(int, buttonWidth);
        WindowFixture fixture(command == kCmdEnglish ? "SimpleChinese" : "English");
        fixture.Command(command)->trigger();
        QCOMPARE(QString::fromStdString(ReadConfig("Run", "DefaultLanguage")), QString(QTest::currentDataTag()));
        const QList<QAction*> popups = fixture.window().menuBar()->actions();
        const QStringList shown = QStringList{fixture.Status(), fixture.Child<QGroupBox>("chipGroup")->title(),
                                              fixture.Command(kCmdOpenFile)->toolTip()}
                                  << Texts(popups) << Texts(popups[0]->menu()->actions());
        QCOMPARE(shown.join('|'), texts);
        QCOMPARE(fixture.Command(kCmdEnglish)->isChecked(), command == kCmdEnglish);
        QCOMPARE(fixture.Command(kCmdChinese)->isChecked(), command == kCmdChinese);
        QCOMPARE(fixture.Button(kCmdOpenFile)->width(), buttonWidth);
    }

    // Erase is offered for SPI flash only, also after relabelling; after a
    // database failure only the commands that need no chip are.
    void commandsFollowTheChipTypeAndTheDatabase() {
        WindowFixture chip;
        ChooseType(chip, "24 EEPROM");
        QVERIFY(!chip.Command(kCmdEraseChip)->isEnabled() && !chip.Button(kCmdEraseChip)->isEnabled());
        QVERIFY(chip.Command(kCmdWriteChip)->isEnabled());
        QCOMPARE(chip.Status(), chip.Child<QComboBox>("chipCombo")->currentText());
        chip.Command(kCmdChinese)->trigger();
        QVERIFY(!chip.Command(kCmdEraseChip)->isEnabled());
        ChooseType(chip, "SPI FLASH");
        QVERIFY(chip.Button(kCmdEraseChip)->isEnabled());

        WindowFixture fixture("English", std::string(), {{"English", "DataBaseFile", "missing.dat"}});
        QCOMPARE(fixture.boxes, QStringList{"Database error!"});
        for (int command : {kCmdOpenFile, kCmdSaveFile, kCmdBufferFill, kCmdByteSwap, kCmdAddressLocation, kCmdAuto,
                            kCmdEraseChip, kCmdWriteChip, kCmdReadChip, kCmdVerifyChip, kCmdDetectChip}) {
            QVERIFY2(!fixture.Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (int command : {kCmdExit, kCmdEnglish, kCmdChinese, kCmdUserManual, kCmdAbout, kCmdReadFirmwareVersion,
                            kCmdUpdateFirmware, kCmdSelfTest}) {
            QVERIFY2(fixture.Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (const char* name : {"typeCombo", "makerCombo", "chipCombo", "searchButton"}) {
            QVERIFY(!fixture.Child<QWidget>(name)->isEnabled());
        }
        fixture.Command(kCmdChinese)->trigger();  // must not bring Erase back without a chip
        QVERIFY(!fixture.Command(kCmdEraseChip)->isEnabled());
    }

    void errorStateColoursStatusAndBar() {
        WindowFixture fixture;
        auto* status = fixture.Child<QLabel>("statusText");
        auto* percent = fixture.Child<QLabel>("percentText");
        auto* bar = fixture.Child<QProgressBar>("progressBar");
        const QColor red(255, 0, 0);
        fixture.core().ShowError("No programmer linked to computer!");
        QCOMPARE(TextColour(status), red);
        QCOMPARE(TextColour(percent), red);
        QCOMPARE(percent->text(), QString("ERROR"));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(BarColourNearStart(bar), red);
        // Information turns the text black; the bar stays red until the next percentage.
        fixture.core().ShowInfo("Reading...");
        QCOMPARE(TextColour(status), QColor(Qt::black));
        QCOMPARE(status->toolTip(), QString("Reading..."));  // the whole text, where the line cuts it
        QCOMPARE(BarColourNearStart(bar), red);
        fixture.core().SetProgress(42);
        QCOMPARE(percent->text(), QString("42%"));
        QCOMPARE(bar->value(), 42);
        QCOMPARE(BarColourNearStart(bar), QColor(49, 106, 197));
    }

    // The window's dialogs and the controls that follow a command's outcome.
    void commandsUpdateTheWindow() {
        WindowFixture fixture("English", "W25Q64FV");
        fixture.Command(kCmdDetectChip)->trigger();  // the first database chip with its ID bytes
        QCOMPARE(fixture.Child<QComboBox>("makerCombo")->currentText(), QString("SPANSION"));
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString("S25FL064K"));
        QCOMPARE(fixture.Child<QLabel>("capacityText")->text(), QString("8MB"));
        WhenDialogOpens("bufferFillDlg", [](QDialog& dialog) {
            for (auto [name, text] : {std::pair{"startEdit", "10"}, {"lengthEdit", "20"}, {"dataEdit", "A5"}}) {
                dialog.findChild<QLineEdit*>(name)->setText(text);
            }
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        fixture.Command(kCmdBufferFill)->trigger();
        const auto& bytes = fixture.core().Buffer().bytes;
        QVERIFY(bytes[0xF] == 0xFF && bytes[0x10] == 0xA5 && bytes[0x2F] == 0xA5 && bytes[0x30] == 0xFF);

        // While a read runs the window keeps drawing its progress and refuses the search.
        fixture.window().Emulator()->SetSpeed({32'000'000, std::chrono::microseconds(0)});
        int progressSeen = -1;
        QTimer probe;
        probe.callOnTimeout([&] {
            if (progressSeen >= 0 || fixture.Status() != "Reading...") return;
            progressSeen = fixture.Child<QProgressBar>("progressBar")->value();
            QTest::mouseClick(fixture.Child<QPushButton>("searchButton"), Qt::LeftButton);
        });
        probe.start(2);
        fixture.Command(kCmdReadChip)->trigger();
        QVERIFY(progressSeen >= 0 && progressSeen < 100);
        QCOMPARE(fixture.boxes.last(), QString("Programmer is busy, please wait a moment!"));
        QVERIFY(fixture.Status().startsWith("Read chip ok!"));

        const std::string image = fixture.File("image.bin");
        fixture.window().SetFileResponder([&](bool save) { return save ? std::optional(image) : std::nullopt; });
        fixture.Command(kCmdSaveFile)->trigger();
        QCOMPARE(fixture.Status(), QString("Save file successful!"));
        fixture.window().SetFileResponder([&](bool) { return std::optional(image); });
        fixture.Command(kCmdOpenFile)->trigger();
        QCOMPARE(fixture.window().windowTitle(), QString::fromStdString("QBR5150 Serial Memory Programmer   " + image));

        QString version;
        WhenDialogOpens("aboutDlg", [&](QDialog& dialog) {
            version = dialog.findChild<QLabel*>("versionText")->text();
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        fixture.Command(kCmdAbout)->trigger();
        QCOMPARE(version, QString::fromStdString(ReadConfig("English", "Version")));
        fixture.Command(kCmdUserManual)->trigger();  // the temporary directory holds no manual
        QCOMPARE(fixture.boxes.size(), 3);           // detection, the busy read, the manual
        QCOMPARE(fixture.boxes.last(), QString("No manual file!"));
    }

    // Escape asks first while edits would be lost, also after a save that failed,
    // and closes at once after one that worked; Enter does nothing.
    void escapeAsksBeforeEditsAreLost() {
        WindowFixture fixture;
        gui::MainDlg& window = fixture.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClicks(fixture.Child<QWidget>("hexView"), "12");
        fixture.Answer(false);
        std::string image = fixture.File("no/such/image.bin");
        window.SetFileResponder([&](bool) { return std::optional(image); });
        fixture.Command(kCmdSaveFile)->trigger();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QCOMPARE(fixture.boxes, (QStringList{"Open file error!",
                                             "The buffer holds changes that were neither saved to a file nor written "
                                             "to a chip.\nClose the program and lose them?"}));
        image = fixture.File("image.bin");
        fixture.Command(kCmdSaveFile)->trigger();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(fixture.boxes.size(), 2);
    }

    // The program binary in screenshot mode draws its window into a PNG and ends
    // without waiting for anyone, also when a message box comes up.
    void screenshotModeWritesThePngAndAnswersBoxes() {
        qbr::test::TempDir dir;  // a portable installation: config.ini and database beside the binary
        for (const char* name : {"qbr5150", "config.ini", "chips.dat", "main.png"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir.file(name));
        }
        const auto path = [&](const char* name) { return QString::fromStdString(dir.file(name).string()); };
        QString errors;  // of the last run
        const auto run = [&](const QString& png, const QStringList& files = {}) {
            QProcess process;
            process.start(path("qbr5150"), QStringList{"--emulate", "--screenshot", png} + files);
            if (!process.waitForFinished(30000)) process.kill();
            errors = QString::fromUtf8(process.readAllStandardError());
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        QCOMPARE(run(path("shot.png")), 0);
        const QImage image(path("shot.png"), "PNG");
        // Room for the buffer's view (600 x 420) plus the controls around it.
        QVERIFY2(image.width() >= 600 && image.height() >= 520, qPrintable(QString::number(image.height())));
        // One file named on the command line is loaded; of two, neither is.
        run(path("shot.png"), {path("missing.bin")});
        QVERIFY(errors.contains("Open file error!"));
        run(path("shot.png"), {path("missing.bin"), path("missing.bin")});
        QVERIFY(!errors.contains("Open file error!"));

        std::filesystem::remove(dir.file("chips.dat"));
        QCOMPARE(run(path("shot.png")), 0);
        QVERIFY2(errors.contains("Database error!"), qPrintable(errors));
        QVERIFY(run(path("no/such/dir/shot.png")) > 0);
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
