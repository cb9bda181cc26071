// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs: the chip search, whose list follows the pattern as it is typed and
// whose command picks or keeps the chip, and the Buffer Fill and Address Location
// dialogs, whose fields only ever hold hex digits.
#include "WindowFixture.h"
#include "gui/AddressLocateDlg.h"
#include "gui/BufferFillDlg.h"
#include "gui/ChipSearchDlg.h"

using namespace qbr;
using namespace qbr::gui;
using namespace qbr::test;

class DialogsTest : public QObject {
    Q_OBJECT

    static QTreeWidget* List(QWidget& d) { return d.findChild<QTreeWidget*>("resultList"); }
    static QLineEdit* Edit(QWidget& d, const char* name = "patternEdit") { return d.findChild<QLineEdit*>(name); }
    static QString Count(QWidget& d) { return d.findChild<QLabel*>("countLabel")->text(); }
    static QStringList Names(QWidget& d) {
        QStringList names;
        for (int row = 0; row < List(d)->topLevelItemCount(); ++row) names << List(d)->topLevelItem(row)->text(0);
        return names;
    }
    static QPoint RowCentre(QWidget& d, const QString& name) {
        return List(d)->visualItemRect(List(d)->findItems(name, Qt::MatchExactly, 0).value(0)).center();
    }
    static void ClickRow(QWidget& d, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(List(d)->viewport(), Qt::LeftButton, modifiers, RowCentre(d, name));
    }
    static void Retype(QLineEdit* edit, const QString& text) {  // replaces the whole text as if typed
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

private slots:
    // The list follows the keys, upper-cases a to z, lists the database bottom
    // first and stops at 1024 chips.
    void listFollowsThePatternUpToTheLimit() {
        WindowFixture fixture;
        const ChipDatabase& database = fixture.core().Database();
        ChipSearchDlg dialog(database, [](const std::string&) {});
        // The shipped database holds more chips than the list shows.
        QVERIFY(database.RecordCount() > 1024);
        QCOMPARE(Count(dialog), QString("Find 1024 Chips!"));
        QCOMPARE(Names(dialog).size(), 1024);
        QCOMPARE(Names(dialog).front(), QString::fromStdString(database.Records()[1023].chipName));
        QTest::keyClicks(Edit(dialog), "en25*80");
        QVERIFY(Names(dialog).contains("EN25T80") && Names(dialog).size() < 20);
        QCOMPARE(Count(dialog), QString("Find %1 Chips!").arg(Names(dialog).size()));
        Edit(dialog)->setText("at24c02");
        const QTreeWidgetItem* row = List(dialog)->findItems("AT24C02", Qt::MatchExactly, 0).value(0);
        QVERIFY(row && row->text(1) == "256B" && row->text(2) == "ATMEL" && row->text(3) == "24 EEPROM");
    }

    // Enter without a highlighted row asks for one. Of two rows picked bottom
    // first the upper one counts, for Select (Enter on the focused button), Enter
    // and a double-click; Escape keeps the chip and logs the cancel.
    void closingTheSearch_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("picked");
        QTest::newRow("Select button") << 1 << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("double-click") << -1 << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }

    void closingTheSearch() {
        QFETCH(int, key);
        QFETCH(bool, picked);
        WindowFixture fixture;
        bool stayedOpen = false;
        QStringList rows;  // compared once the dialog is closed, so that it always closes
        WhenDialogOpens("chipSearchDlg", [&](QDialog& dialog) {
            QTest::keyClick(Edit(dialog), Qt::Key_Return);
            stayedOpen = dialog.isVisible();
            QTest::keyClicks(Edit(dialog), "w25q64j");
            rows = Names(dialog);
            ClickRow(dialog, rows.value(2));
            ClickRow(dialog, rows.value(1), Qt::ControlModifier);
            if (key == 1) {
                auto* select = dialog.findChild<QPushButton*>("selectButton");
                select->setFocus();
                QTest::keyClick(select, Qt::Key_Return);
            } else if (key < 0) {  // arrives as press, release, double-click
                QTest::mouseDClick(List(dialog)->viewport(), Qt::LeftButton, {}, RowCentre(dialog, rows.value(1)));
            } else {
                QTest::keyClick(List(dialog), Qt::Key(key));
            }
        });
        QTest::mouseClick(fixture.Child<QPushButton>("searchButton"), Qt::LeftButton);
        QVERIFY(stayedOpen);
        QCOMPARE(rows, (QStringList{"W25Q64JW-IQ", "W25Q64JW-IM", "W25Q64JV-IQ", "W25Q64JV-IM"}));
        QCOMPARE(fixture.boxes, QStringList{"Please select a chip!"});
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString(picked ? "W25Q64JW-IM" : "EN25T80"));
        QCOMPARE(fixture.Child<QComboBox>("makerCombo")->currentText(), QString(picked ? "WINBOND" : "EON"));
        QCOMPARE(fixture.Log().find("Search chip cancel!") != std::string::npos, !picked);
    }

    void hexFieldsKeepTheLastGoodTextAndOkReadsThem() {
        BufferFillDlg dialog;
        QLineEdit* length = Edit(dialog, "lengthEdit");
        length->end(false);
        QTest::keyClicks(length, "2a");
        length->setCursorPosition(1);
        QTest::keyClicks(length, "G");
        QVERIFY(length->text() == "12a" && length->cursorPosition() == 1);
        Retype(Edit(dialog, "startEdit"), "7f");
        Retype(length, "");
        Retype(Edit(dialog, "dataEdit"), "aA");
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QVERIFY(dialog.result() == QDialog::Accepted && dialog.Valid() && dialog.Start() == 0x7F &&
                dialog.Length() == 0 && dialog.FillByte() == 0xAA);

        AddressLocateDlg locate;
        locate.show();
        Retype(Edit(locate, "addressEdit"), "F0");
        QTest::keyClick(Edit(locate, "addressEdit"), Qt::Key_Return);  // OK is the default button
        QVERIFY(locate.result() == QDialog::Accepted && locate.Valid() && locate.Address() == 0xF0);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
