// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the offscreen platform: start-up, relabelling, chip
// selection, the database failure, the error display and the help commands.
#include "WindowFixture.h"
#include "emulator/EmulatedProgrammer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using qbr::test::WindowFixture;

namespace {

// The texts of a popup's items, separators as "-".
QStringList PopupItems(QMenu* menu) {
    QStringList items;
    for (QAction* action : menu->actions()) items << (action->isSeparator() ? QString("-") : action->text());
    return items;
}

QColor TextColour(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

// The colour in the middle of the filled part of the progress bar.
QColor BarColourNearStart(QProgressBar* bar) {
    const QImage image = bar->grab().toImage();
    return image.pixelColor(6, image.height() / 2);
}

void ChooseType(WindowFixture& fixture, const QString& type) {
    auto* combo = fixture.Child<QComboBox>("typeCombo");
    const int index = combo->findText(type);
    QVERIFY(index >= 0);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

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
        // The link watch runs as soon as events are processed, then follows the
        // programmer being unplugged and plugged in again.
        auto* link = fixture.Child<QLabel>("linkText");
        QTRY_COMPARE(link->text(), QString("USB Link OK!"));
        fixture.window().Emulator()->Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("No USB Link!"), 700);
        fixture.window().Emulator()->Replug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("USB Link OK!"), 700);
    }

    void startsWithoutAProgrammer() {
        WindowFixture fixture("English", std::nullopt);
        QCOMPARE(fixture.boxes, QStringList{"No programmer linked to computer!"});
        QCOMPARE(fixture.Status(), QString("No programmer linked to computer!"));
        QCOMPARE(fixture.Child<QLabel>("percentText")->text(), QString("ERROR"));
        QTRY_COMPARE(fixture.Child<QLabel>("linkText")->text(), QString("No USB Link!"));
    }

    void languageCommandRelabels_data() {
        QTest::addColumn<QString>("startLanguage");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("fileItems");
        QTest::addColumn<QString>("groupTitle");
        QTest::addColumn<QString>("openTip");
        QTest::addColumn<int>("buttonWidth");
        QTest::newRow("English") << "SimpleChinese" << int(qbr::kCmdEnglish) << "Set language to english!"
                                 << QStringList{"File(F)",      "Edit(&E)",     "Programmer(&P)",
                                                "Firmware(&W)", "Language(&L)", "Help(&H)"}
                                 << QStringList{"Open(&O)", "Save(&S)", "-", "Exit(&X)"} << "Select Chip"
                                 << "Open File" << 46;
        QTest::newRow("SimpleChinese") << "English" << int(qbr::kCmdChinese) << "语言设置为简体中文!"
                                       << QStringList{"文件(F)",  "缓冲区(&B)",         "编程器(&E)",
                                                      "固件(&W)", "语言(Language)(&L)", "帮助(&H)"}
                                       << QStringList{"打开文件(&O)", "保存文件(&S)", "-", "退出程序(&X)"} << "器件选择"
                                       << "打开文件" << 38;
    }

    void languageCommandRelabels() {
        QFETCH(QString, startLanguage);
        QFETCH(int, command);
        WindowFixture fixture(startLanguage.toStdString());
        fixture.Command(command)->trigger();
        QCOMPARE(QString::fromStdString(qbr::ReadConfig("Run", "DefaultLanguage")), QString(QTest::currentDataTag()));
        QFETCH(QString, status);
        QCOMPARE(fixture.Status(), status);
        QFETCH(QStringList, titles);
        QStringList shownTitles;
        const QList<QAction*> popups = fixture.window().menuBar()->actions();
        for (QAction* popup : popups) shownTitles << popup->text();
        QCOMPARE(shownTitles, titles);
        QFETCH(QStringList, fileItems);
        QCOMPARE(PopupItems(popups[0]->menu()), fileItems);
        const bool english = command == qbr::kCmdEnglish;
        QCOMPARE(fixture.Command(qbr::kCmdEnglish)->isChecked(), english);
        QCOMPARE(fixture.Command(qbr::kCmdChinese)->isChecked(), !english);
        QFETCH(QString, groupTitle);
        QCOMPARE(fixture.Child<QGroupBox>("chipGroup")->title(), groupTitle);
        QFETCH(QString, openTip);
        QCOMPARE(fixture.Command(qbr::kCmdOpenFile)->toolTip(), openTip);
        QFETCH(int, buttonWidth);
        QCOMPARE(fixture.Button(qbr::kCmdOpenFile)->width(), buttonWidth);
    }

    // A language setting other than the two known ones gets the Chinese menu
    // and empty texts.
    void unknownLanguageFallsBackToChineseMenu() {
        WindowFixture fixture("english");
        QCOMPARE(fixture.window().menuBar()->actions().first()->text(), QString("文件(F)"));
        QVERIFY(fixture.Command(qbr::kCmdChinese)->isChecked());
        QVERIFY(fixture.window().windowTitle().isEmpty());
        QVERIFY(fixture.Child<QLabel>("typeLabel")->text().isEmpty());
    }

    void eraseFollowsTheChipType() {
        WindowFixture fixture;
        ChooseType(fixture, "24 EEPROM");
        QVERIFY(fixture.Child<QComboBox>("chipCombo")->count() > 0);
        QVERIFY(!fixture.Command(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(!fixture.Button(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(fixture.Command(qbr::kCmdWriteChip)->isEnabled());
        QCOMPARE(fixture.Status(), fixture.Child<QComboBox>("chipCombo")->currentText());
        // Relabelling keeps the state that the chip type asks for.
        fixture.Command(qbr::kCmdChinese)->trigger();
        QVERIFY(!fixture.Command(qbr::kCmdEraseChip)->isEnabled());
        ChooseType(fixture, "SPI FLASH");
        QVERIFY(fixture.Command(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(fixture.Button(qbr::kCmdEraseChip)->isEnabled());
    }

    void databaseFailureLeavesOnlySafeCommands() {
        WindowFixture fixture("English", std::string(), {{"English", "DataBaseFile", "missing.dat"}});
        QCOMPARE(fixture.boxes, QStringList{"Database error!"});
        for (int command : {qbr::kCmdOpenFile, qbr::kCmdSaveFile, qbr::kCmdBufferFill, qbr::kCmdByteSwap,
                            qbr::kCmdAddressLocation, qbr::kCmdAuto, qbr::kCmdEraseChip, qbr::kCmdWriteChip,
                            qbr::kCmdReadChip, qbr::kCmdVerifyChip, qbr::kCmdDetectChip}) {
            QVERIFY2(!fixture.Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (int command : {qbr::kCmdExit, qbr::kCmdEnglish, qbr::kCmdChinese, qbr::kCmdUserManual, qbr::kCmdAbout,
                            qbr::kCmdReadFirmwareVersion, qbr::kCmdUpdateFirmware, qbr::kCmdSelfTest}) {
            QVERIFY2(fixture.Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (const char* name : {"typeCombo", "makerCombo", "chipCombo"}) {
            QVERIFY(!fixture.Child<QComboBox>(name)->isEnabled());
        }
        QVERIFY(!fixture.Child<QPushButton>("searchButton")->isEnabled());
        // A language switch must not bring Erase back without a chip.
        fixture.Command(qbr::kCmdChinese)->trigger();
        QVERIFY(!fixture.Command(qbr::kCmdEraseChip)->isEnabled());
    }

    void errorStateColoursStatusAndBar() {
        WindowFixture fixture;
        fixture.window().show();
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

    void fileCommandsAboutAndManual() {
        WindowFixture fixture;
        const std::string image = fixture.File("image.bin");
        fixture.core().Buffer().bytes[0] = 0x00;
        fixture.window().SetFileResponder([&](bool save) { return save ? std::optional(image) : std::nullopt; });
        fixture.Command(qbr::kCmdSaveFile)->trigger();
        QCOMPARE(fixture.Status(), QString("Save file successful!"));
        fixture.window().SetFileResponder([&](bool) { return std::optional(image); });
        fixture.Command(qbr::kCmdOpenFile)->trigger();
        QCOMPARE(fixture.window().windowTitle(), QString::fromStdString("QBR5150 Serial Memory Programmer   " + image));

        QString version, ok;
        qbr::test::WhenDialogOpens("aboutDlg", [&](QDialog& dialog) {
            version = dialog.findChild<QLabel*>("versionText")->text();
            ok = dialog.findChild<QPushButton*>("okButton")->text();
            dialog.findChild<QPushButton*>("okButton")->click();
        });
        fixture.Command(qbr::kCmdAbout)->trigger();
        QCOMPARE(version, QString::fromStdString(qbr::ReadConfig("English", "Version")));
        QCOMPARE(ok, QString("OK"));
        // The temporary directory holds no manual.
        fixture.Command(qbr::kCmdUserManual)->trigger();
        QCOMPARE(fixture.boxes, QStringList{"No manual file!"});
    }

    // Escape closes at once when nothing would be lost, else asks first; Enter does nothing.
    void escapeAsksBeforeEditsAreLost() {
        WindowFixture fixture;
        qbr::gui::MainDlg& window = fixture.window();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClicks(fixture.Child<QWidget>("hexView"), "12");
        window.SetBoxResponder([&](const std::string& text, qbr::BoxButtons) {
            fixture.boxes << QString::fromStdString(text);
            return false;  // No
        });
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QCOMPARE(fixture.boxes, QStringList{"The buffer holds changes that were neither saved to a file nor written "
                                            "to a chip.\nClose the program and lose them?"});
        const std::string image = fixture.File("image.bin");
        window.SetFileResponder([&](bool) { return std::optional(image); });
        fixture.Command(qbr::kCmdSaveFile)->trigger();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(fixture.boxes.size(), 1);
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
