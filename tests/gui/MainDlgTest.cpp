// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the offscreen platform: start-up, relabelling, chip
// selection, the database failure, the error display and the help commands.
#include "base/Config.h"
#include "base/Language.h"
#include "base/MessageTable.h"
#include "core/CommandId.h"
#include "emulator/EmulatedProgrammer.h"
#include "gui/MainDlg.h"
#include "support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <optional>

using qbr::gui::MainDlg;
using qbr::test::TempDir;

namespace {

QString Str(const std::string& text) {
    return QString::fromStdString(text);
}

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

}  // namespace

class MainDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<MainDlg> window_;
    QStringList boxes_;

    // The program's directory is a copy of the build's config.ini and chip
    // database, so the tests never touch the build tree's settings.
    void PrepareDirectory(const std::string& language) {
        dir_ = std::make_unique<TempDir>();
        for (const char* name : {"config.ini", "chips.dat"}) {
            std::filesystem::copy_file(std::filesystem::path(QBR_RUNTIME_DIR) / name, dir_->file(name));
        }
        qbr::SetExecutableDirectory(dir_->dirText());
        qbr::WriteConfig("Run", "DefaultLanguage", language);
    }

    // The window on the emulated programmer (`emulatedChip` empty: the selected
    // chip), or on real hardware without one.
    MainDlg& StartWindow(std::optional<std::string> emulatedChip = std::string()) {
        qbr::LoadLanguageSetting();
        qbr::BuildMessageTable();
        window_ = std::make_unique<MainDlg>();
        // A box that comes up before the window is shown is recorded as such.
        window_->SetBoxResponder([this](const std::string& text, qbr::BoxButtons) {
            boxes_ << (window_->isVisible() ? Str(text) : "(no window) " + Str(text));
            return true;
        });
        window_->Initialise(emulatedChip);
        return *window_;
    }

    MainDlg& OpenWindow(const std::string& language) {
        PrepareDirectory(language);
        return StartWindow();
    }

    template <typename T>
    T* Child(const char* name) {
        T* child = window_->findChild<T*>(name);
        if (!child) qFatal("no child %s", name);
        return child;
    }

    QAction* Command(int command) { return window_->CommandAction(command); }

    // The toolbar button that shows a command.
    QWidget* Button(int command) {
        return window_->findChild<QToolBar*>("mainToolBar")->widgetForAction(Command(command));
    }

    void ChooseType(const QString& type) {
        auto* combo = Child<QComboBox>("typeCombo");
        const int index = combo->findText(type);
        QVERIFY(index >= 0);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

private slots:
    void init() { boxes_.clear(); }
    void cleanup() {
        window_.reset();
        dir_.reset();
    }

    void startsWithTheDefaultChip() {
        MainDlg& window = OpenWindow("English");
        QCOMPARE(Child<QComboBox>("typeCombo")->currentText(), QString("SPI FLASH"));
        QCOMPARE(Child<QComboBox>("makerCombo")->currentText(), QString("EON"));
        QCOMPARE(Child<QComboBox>("chipCombo")->currentText(), QString("EN25T80"));
        QCOMPARE(Child<QLabel>("capacityText")->text(), QString("1MB"));
        // 1 MiB of 0xFF.
        QCOMPARE(Child<QLabel>("checksumText")->text(), QString("CheckSum: 0FF00000H"));
        QCOMPARE(Child<QLabel>("statusText")->text(), QString("EN25T80"));
        QCOMPARE(window.windowTitle(), QString("QBR5150 Serial Memory Programmer"));
        QCOMPARE(Child<QLabel>("percentText")->text(), QString("0%"));
        QVERIFY(boxes_.isEmpty());
        // The link watch runs as soon as events are processed, then follows the
        // programmer being unplugged and plugged in again.
        auto* link = Child<QLabel>("linkText");
        QTRY_COMPARE(link->text(), QString("USB Link OK!"));
        window.Emulator()->Unplug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("No USB Link!"), 700);
        window.Emulator()->Replug();
        QTRY_COMPARE_WITH_TIMEOUT(link->text(), QString("USB Link OK!"), 700);
    }

    void startsWithoutAProgrammer() {
        PrepareDirectory("English");
        StartWindow(std::nullopt);  // no programmer is attached to the test machine
        QCOMPARE(boxes_, QStringList{"No programmer linked to computer!"});
        QCOMPARE(Child<QLabel>("statusText")->text(), QString("No programmer linked to computer!"));
        QCOMPARE(Child<QLabel>("percentText")->text(), QString("ERROR"));
        QTRY_COMPARE(Child<QLabel>("linkText")->text(), QString("No USB Link!"));
    }

    void languageCommandRelabels_data() {
        QTest::addColumn<QString>("startLanguage");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("storedLanguage");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("fileItems");
        QTest::addColumn<QStringList>("programmerItems");
        QTest::addColumn<QString>("groupTitle");
        QTest::addColumn<QString>("openTip");
        QTest::addColumn<int>("buttonWidth");

        QTest::newRow("to English") << "SimpleChinese" << int(qbr::kCmdEnglish) << "English"
                                    << "Set language to english!"
                                    << QStringList{"File(F)",      "Edit(&E)",     "Programmer(&P)",
                                                   "Firmware(&W)", "Language(&L)", "Help(&H)"}
                                    << QStringList{"Open(&O)", "Save(&S)", "-", "Exit(&X)"}
                                    << QStringList{"Auto(&A)",
                                                   "Chip Erase(&E)",
                                                   "Write Chip(&W)",
                                                   "Read Chip(&R)",
                                                   "Verify Chip(&V)",
                                                   "Detect Chip(&T)",
                                                   "-",
                                                   "Self Test(&S)",
                                                   "Read Serial Number(&N)"}
                                    << "Select Chip"
                                    << "Open File" << 46;
        QTest::newRow("to Chinese") << "English" << int(qbr::kCmdChinese) << "SimpleChinese"
                                    << "语言设置为简体中文!"
                                    << QStringList{"文件(F)",  "缓冲区(&B)",         "编程器(&E)",
                                                   "固件(&W)", "语言(Language)(&L)", "帮助(&H)"}
                                    << QStringList{"打开文件(&O)", "保存文件(&S)", "-", "退出程序(&X)"}
                                    << QStringList{"自动完成(&A)", "擦除芯片(&E)",     "写芯片(&W)", "读芯片(&R)",
                                                   "校验芯片(&V)", "检测芯片型号(&T)", "-",          "编程器自检(&S)",
                                                   "读序列号(&N)"}
                                    << "器件选择"
                                    << "打开文件" << 38;
    }

    void languageCommandRelabels() {
        QFETCH(QString, startLanguage);
        QFETCH(int, command);
        MainDlg& window = OpenWindow(startLanguage.toStdString());
        Command(command)->trigger();

        QFETCH(QString, storedLanguage);
        QCOMPARE(Str(qbr::ReadConfig("Run", "DefaultLanguage")), storedLanguage);
        QFETCH(QString, status);
        QCOMPARE(Child<QLabel>("statusText")->text(), status);

        QFETCH(QStringList, titles);
        QStringList shownTitles;
        const QList<QAction*> popups = window.menuBar()->actions();
        for (QAction* popup : popups) shownTitles << popup->text();
        QCOMPARE(shownTitles, titles);
        QFETCH(QStringList, fileItems);
        QCOMPARE(PopupItems(popups[0]->menu()), fileItems);
        QFETCH(QStringList, programmerItems);
        QCOMPARE(PopupItems(popups[2]->menu()), programmerItems);

        const bool english = command == qbr::kCmdEnglish;
        QCOMPARE(Command(qbr::kCmdEnglish)->isChecked(), english);
        QCOMPARE(Command(qbr::kCmdChinese)->isChecked(), !english);

        QFETCH(QString, groupTitle);
        QCOMPARE(Child<QGroupBox>("chipGroup")->title(), groupTitle);
        QFETCH(QString, openTip);
        QCOMPARE(Command(qbr::kCmdOpenFile)->toolTip(), openTip);
        QFETCH(int, buttonWidth);
        QCOMPARE(Button(qbr::kCmdOpenFile)->width(), buttonWidth);
    }

    // A language setting other than the two known ones gets the Chinese menu
    // and empty texts.
    void unknownLanguageFallsBackToChineseMenu() {
        MainDlg& window = OpenWindow("english");
        QCOMPARE(window.menuBar()->actions().first()->text(), QString("文件(F)"));
        QVERIFY(Command(qbr::kCmdChinese)->isChecked());
        QVERIFY(window.windowTitle().isEmpty());
        QVERIFY(Child<QLabel>("typeLabel")->text().isEmpty());
    }

    void eraseFollowsTheChipType() {
        OpenWindow("English");
        ChooseType("24 EEPROM");
        QCOMPARE(Child<QComboBox>("typeCombo")->currentText(), QString("24 EEPROM"));
        QVERIFY(Child<QComboBox>("chipCombo")->count() > 0);
        QVERIFY(!Command(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(!Button(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(Command(qbr::kCmdWriteChip)->isEnabled());
        QCOMPARE(Child<QLabel>("statusText")->text(), Child<QComboBox>("chipCombo")->currentText());

        // Relabelling keeps the state that the chip type asks for.
        Command(qbr::kCmdChinese)->trigger();
        QVERIFY(!Command(qbr::kCmdEraseChip)->isEnabled());

        ChooseType("SPI FLASH");
        QVERIFY(Command(qbr::kCmdEraseChip)->isEnabled());
        QVERIFY(Button(qbr::kCmdEraseChip)->isEnabled());
    }

    void databaseFailureLeavesOnlySafeCommands() {
        PrepareDirectory("English");
        qbr::WriteConfig("English", "DataBaseFile", "missing.dat");
        StartWindow();
        QCOMPARE(boxes_, QStringList{"Database error!"});

        for (int command : {qbr::kCmdOpenFile, qbr::kCmdSaveFile, qbr::kCmdBufferFill, qbr::kCmdByteSwap,
                            qbr::kCmdAddressLocation, qbr::kCmdAuto, qbr::kCmdEraseChip, qbr::kCmdWriteChip,
                            qbr::kCmdReadChip, qbr::kCmdVerifyChip, qbr::kCmdDetectChip}) {
            QVERIFY2(!Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (int command : {qbr::kCmdExit, qbr::kCmdEnglish, qbr::kCmdChinese, qbr::kCmdUserManual, qbr::kCmdAbout,
                            qbr::kCmdReadFirmwareVersion, qbr::kCmdUpdateFirmware, qbr::kCmdSelfTest}) {
            QVERIFY2(Command(command)->isEnabled(), qPrintable(QString::number(command)));
        }
        for (const char* name : {"typeCombo", "makerCombo", "chipCombo"}) QVERIFY(!Child<QComboBox>(name)->isEnabled());
        QVERIFY(!Child<QPushButton>("searchButton")->isEnabled());

        // A language switch must not bring Erase back without a chip.
        Command(qbr::kCmdChinese)->trigger();
        QVERIFY(!Command(qbr::kCmdEraseChip)->isEnabled());
        QCOMPARE(Child<QLabel>("statusText")->text(), QString("语言设置为简体中文!"));
    }

    void errorStateColoursStatusAndBar() {
        MainDlg& window = OpenWindow("English");
        window.show();
        auto* status = Child<QLabel>("statusText");
        auto* percent = Child<QLabel>("percentText");
        auto* bar = Child<QProgressBar>("progressBar");
        const QColor red(255, 0, 0);
        const QColor blue(49, 106, 197);

        window.Core().ShowError("No programmer linked to computer!");
        QCOMPARE(TextColour(status), red);
        QCOMPARE(TextColour(percent), red);
        QCOMPARE(percent->text(), QString("ERROR"));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(BarColourNearStart(bar), red);

        // Information turns the text black; the bar stays red until the next percentage.
        window.Core().ShowInfo("Reading...");
        QCOMPARE(TextColour(status), QColor(Qt::black));
        QCOMPARE(status->toolTip(), QString("Reading..."));  // the whole text, where the line cuts it
        QCOMPARE(BarColourNearStart(bar), red);

        window.Core().SetProgress(42);
        QCOMPARE(percent->text(), QString("42%"));
        QCOMPARE(bar->value(), 42);
        QCOMPARE(BarColourNearStart(bar), blue);
    }

    void bufferAndFileCommandsThroughTheMenu() {
        MainDlg& window = OpenWindow("English");
        // Fill 16 bytes from 0x10 with 0x00 through the real dialog.
        QTimer::singleShot(0, this, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>("startEdit")->setText("10");
            dialog->findChild<QLineEdit*>("lengthEdit")->setText("10");
            dialog->findChild<QPushButton*>("okButton")->click();
        });
        Command(qbr::kCmdBufferFill)->trigger();
        QCOMPARE(window.Core().Buffer().bytes[0x10], uint8_t{0x00});
        QCOMPARE(window.Core().Buffer().bytes[0x20], uint8_t{0xFF});
        QCOMPARE(Child<QLabel>("checksumText")->text(), QString("CheckSum: 0FEFF010H"));

        const std::string image = dir_->file("image.bin").string();
        window.Core().Buffer().bytes[0] = 0x00;
        window.SetFileResponder([&](bool save) { return save ? std::optional(image) : std::nullopt; });
        Command(qbr::kCmdSaveFile)->trigger();
        QCOMPARE(Child<QLabel>("statusText")->text(), QString("Save file successful!"));
        window.SetFileResponder([&](bool) { return std::optional(image); });
        Command(qbr::kCmdOpenFile)->trigger();
        QCOMPARE(window.windowTitle(), Str("QBR5150 Serial Memory Programmer   " + image));
        QVERIFY(boxes_.isEmpty());
    }

    void aboutAndManual() {
        OpenWindow("English");
        QString title, version, ok;
        QTimer::singleShot(0, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            title = dialog->windowTitle();
            if (auto* label = dialog->findChild<QLabel*>("versionText")) version = label->text();
            auto* button = dialog->findChild<QPushButton*>("okButton");
            if (button) {
                ok = button->text();
                button->click();
            } else {
                dialog->close();
            }
        });
        Command(qbr::kCmdAbout)->trigger();
        QCOMPARE(title, QString("About"));
        QCOMPARE(version, Str(qbr::ReadConfig("English", "Version")));
        QCOMPARE(ok, QString("OK"));

        // The temporary directory holds no manual.
        Command(qbr::kCmdUserManual)->trigger();
        QCOMPARE(boxes_, QStringList{"No manual file!"});
    }

    // Escape closes at once when nothing would be lost, else asks first; Enter does nothing.
    void escapeAsksBeforeEditsAreLost() {
        MainDlg& window = OpenWindow("English");
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        QTest::keyClicks(Child<QWidget>("hexView"), "12");
        window.SetBoxResponder([this](const std::string& text, qbr::BoxButtons) {
            boxes_ << Str(text);
            return false;  // No
        });
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QCOMPARE(boxes_, QStringList{"The buffer holds changes that were neither saved to a file nor written to a "
                                     "chip.\nClose the program and lose them?"});

        // A write that failed stored nothing: the edits still count.
        window.Emulator()->Unplug();
        Command(qbr::kCmdWriteChip)->trigger();
        boxes_.clear();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        QCOMPARE(boxes_.size(), 1);
        window.Emulator()->Replug();

        const std::string image = dir_->file("image.bin").string();
        window.SetFileResponder([&](bool) { return std::optional(image); });
        Command(qbr::kCmdSaveFile)->trigger();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(boxes_.size(), 1);
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
