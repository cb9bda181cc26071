// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer commands chosen from the window's menu on the emulated
// programmer: a whole session from detection to verification, commands chosen
// while a read runs, and the maintenance commands.
#include "WindowFixture.h"
#include "emulator/EmulatedProgrammer.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <numeric>

using qbr::test::WhenDialogOpens;
using qbr::test::WindowFixture;

namespace {

constexpr uint32_t kMiB = 1u << 20;

// A status text that ends with the elapsed time of the command.
void ExpectTimed(const QString& status, const QString& text) {
    const QRegularExpression timed("^" + QRegularExpression::escape(text) + "   Elapsed time: \\d+ ms$");
    QVERIFY2(timed.match(status).hasMatch(), qPrintable(status));
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

void FillThroughTheDialog(WindowFixture& fixture, const QString& start, const QString& length, const QString& data) {
    WhenDialogOpens("bufferFillDlg", [=](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("startEdit")->setText(start);
        dialog.findChild<QLineEdit*>("lengthEdit")->setText(length);
        dialog.findChild<QLineEdit*>("dataEdit")->setText(data);
        dialog.findChild<QPushButton*>("okButton")->click();
    });
    fixture.Command(qbr::kCmdBufferFill)->trigger();
}

}  // namespace

class ProgrammerCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void detectReadFillAutoVerify() {
        WindowFixture fixture("English", "W25Q64FV");
        qbr::ProgrammerCore& core = fixture.core();
        const auto chip = fixture.window().Emulator()->Chip().Contents();
        for (size_t i = 0; i < chip.size(); ++i) chip[i] = static_cast<uint8_t>(i * 7 % 251);

        // The first database chip with the emulated chip's ID bytes is selected.
        fixture.Command(qbr::kCmdDetectChip)->trigger();
        const QString detected =
            "Chip type: S25FL064K   \r\n(The real chip may be a compatible model of the same "
            "maker and capacity; reading and writing are not affected!)";
        ExpectTimed(fixture.Status(), detected);
        QCOMPARE(fixture.boxes, QStringList{detected});
        QCOMPARE(fixture.Child<QComboBox>("makerCombo")->currentText(), QString("SPANSION"));
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString("S25FL064K"));
        QCOMPARE(core.Buffer().activeLength, 8 * kMiB);

        fixture.Command(qbr::kCmdReadChip)->trigger();
        ExpectTimed(fixture.Status(), "Read chip ok!");
        QCOMPARE(fixture.Child<QLabel>("percentText")->text(), QString("100%"));
        QVERIFY(std::equal(chip.begin(), chip.end(), core.Buffer().bytes.begin()));
        const uint32_t sum = std::accumulate(chip.begin(), chip.end(), uint32_t{0});
        QCOMPARE(fixture.Child<QLabel>("checksumText")->text(),
                 "CheckSum: " + QString("%1").arg(sum, 8, 16, QChar('0')).toUpper() + "H");

        FillThroughTheDialog(fixture, "10", "20", "A5");
        QCOMPARE(core.Buffer().bytes[0x10], uint8_t{0xA5});
        QCOMPARE(core.Buffer().bytes[0x2F], uint8_t{0xA5});
        QCOMPARE(core.Buffer().bytes[0x30], chip[0x30]);

        fixture.Command(qbr::kCmdAuto)->trigger();
        ExpectTimed(fixture.Status(), "Verify chip ok!");
        QVERIFY(std::equal(chip.begin(), chip.end(), core.Buffer().bytes.begin()));
        const std::string log = fixture.Log();
        for (const char* step : {"Auto!", "Erase chip ok!", "Write chip ok!", "Verify chip ok!"}) {
            QVERIFY2(log.find(step) != std::string::npos, step);
        }

        QCOMPARE(fixture.boxes.size(), 1);
    }

    void commandsChosenDuringAReadAreRefused() {
        WindowFixture fixture;  // EN25T80, 1 MiB
        qbr::ProgrammerCore& core = fixture.core();
        // Slow enough that the read lasts a good fraction of a second.
        fixture.window().Emulator()->SetSpeed({4'000'000, std::chrono::microseconds(0)});
        const std::string chipBefore = core.SelectedChip().chipName;

        int progressSeen = -1;
        QTimer probe;
        probe.callOnTimeout([&] {
            if (progressSeen >= 0 || fixture.Status() != "Reading...") return;
            progressSeen = fixture.Child<QProgressBar>("progressBar")->value();
            fixture.Command(qbr::kCmdReadChip)->trigger();
            fixture.Command(qbr::kCmdEraseChip)->trigger();
            fixture.Command(qbr::kCmdBufferFill)->trigger();
            QTest::mouseClick(fixture.Child<QPushButton>("searchButton"), Qt::LeftButton);
            auto* types = fixture.Child<QComboBox>("typeCombo");
            emit types->activated(types->findText("24 EEPROM"));
        });
        probe.start(2);
        fixture.Command(qbr::kCmdReadChip)->trigger();
        probe.stop();

        QVERIFY(progressSeen >= 0 && progressSeen < 100);
        QCOMPARE(fixture.boxes, QStringList(4, "Programmer is busy, please wait a moment!"));
        // A refused Read writes no log line for the refusal; the others do.
        QCOMPARE(Occurrences(fixture.Log(), "Programmer is busy"), size_t{3});
        ExpectTimed(fixture.Status(), "Read chip ok!");
        QCOMPARE(core.SelectedChip().chipName, chipBefore);
        QCOMPARE(fixture.Child<QComboBox>("typeCombo")->currentText(), QString("SPI FLASH"));
        QCOMPARE(core.Buffer().activeLength, kMiB);
    }

    void maintenanceCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("firmware version")
            << int(qbr::kCmdReadFirmwareVersion)
            << "^Firmware version:  QBR5150 emulated programmer 1.00       Elapsed time: \\d+ ms$";
        QTest::newRow("serial number") << int(qbr::kCmdReadSerialNumber)
                                       << "^Serial number:EMU0000001   Elapsed time: \\d+ ms$";
        QTest::newRow("self test") << int(qbr::kCmdSelfTest) << "^Auto test result: Hardware is OK!$";
    }

    void maintenanceCommands() {
        QFETCH(int, command);
        QFETCH(QString, pattern);
        WindowFixture fixture;
        fixture.Command(command)->trigger();
        QVERIFY2(QRegularExpression(pattern).match(fixture.Status()).hasMatch(), qPrintable(fixture.Status()));
        QCOMPARE(fixture.boxes.size(), 1);
    }
};

QTEST_MAIN(ProgrammerCommandsTest)
#include "ProgrammerCommandsTest.moc"
