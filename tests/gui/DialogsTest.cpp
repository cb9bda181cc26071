// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs: the chip search, whose list follows the pattern as it is typed and
// whose command picks, keeps or cancels the chip, and the Buffer Fill and Address
// Location dialogs, whose fields only ever hold hex digits.
#include "WindowFixture.h"
#include "chipdb/ChipDatabaseFile.h"
#include "gui/AddressLocateDlg.h"
#include "gui/BufferFillDlg.h"
#include "gui/ChipSearchDlg.h"

using namespace qbr;
using namespace qbr::gui;
using namespace qbr::test;

namespace {

QTreeWidget* List(QWidget& dialog) {
    return dialog.findChild<QTreeWidget*>("resultList");
}
QLineEdit* Edit(QWidget& dialog, const char* name = "patternEdit") {
    return dialog.findChild<QLineEdit*>(name);
}
QString Count(QWidget& dialog) {
    return dialog.findChild<QLabel*>("countLabel")->text();
}
QStringList Names(QWidget& dialog) {
    QStringList names;
    for (int row = 0; row < List(dialog)->topLevelItemCount(); ++row) names << List(dialog)->topLevelItem(row)->text(0);
    return names;
}
QPoint RowCentre(QWidget& dialog, const QString& name) {
    const auto found = List(dialog)->findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? QPoint(-1, -1) : List(dialog)->visualItemRect(found.front()).center();
}
void ClickRow(QWidget& dialog, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(List(dialog)->viewport(), Qt::LeftButton, modifiers, RowCentre(dialog, name));
}

// Replaces a field's whole text as if typed.
void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void listFollowsEveryKeystrokeUpToTheLimit() {
        WindowFixture fixture;
        const ChipDatabase& database = fixture.core().Database();
        ChipSearchDlg dialog(database, [](const std::string&) {});
        QCOMPARE(Count(dialog), QString("Find %1 Chips!").arg(database.RecordCount()));
        int shown = int(database.RecordCount());
        for (const QChar key : QString("en25*80")) {  // each key narrows the list, and the count agrees
            QTest::keyClicks(Edit(dialog), QString(key));
            QVERIFY(List(dialog)->topLevelItemCount() <= shown);
            shown = List(dialog)->topLevelItemCount();
            QCOMPARE(Count(dialog), QString("Find %1 Chips!").arg(shown));
        }
        const QStringList lowerCase = Names(dialog);
        QVERIFY(lowerCase.contains("EN25T80") && lowerCase.size() < 20);
        Edit(dialog)->setText("EN25*80");
        QCOMPARE(Names(dialog), lowerCase);
        Edit(dialog)->setText(QString::fromUtf8("en25ä"));  // only a to z change case
        QCOMPARE(Count(dialog), QString("Find 0 Chips!"));
        Edit(dialog)->setText(QString(25, 'x'));
        QCOMPARE(Edit(dialog)->text().size(), 20);

        Edit(dialog)->setText("**");  // every chip, bottom of the database first
        QCOMPARE(List(dialog)->topLevelItemCount(), int(database.RecordCount()));
        QCOMPARE(Names(dialog).front(), QString::fromStdString(database.Records().back().chipName));
        Edit(dialog)->setText("at24c02");
        const QTreeWidgetItem* row = List(dialog)->findItems("AT24C02", Qt::MatchExactly, 0).value(0);
        QVERIFY(row);
        QCOMPARE((QStringList{row->text(1), row->text(2), row->text(3), List(dialog)->headerItem()->text(2)}),
                 (QStringList{"256B", "ATMEL", "24 EEPROM", "Manu"}));
        QCOMPARE(Qt::Alignment(row->textAlignment(3)), Qt::Alignment(Qt::AlignCenter));

        // A database larger than the list: the first 1024 matches are listed and counted.
        std::vector<ChipRecord> chips(1100);
        for (size_t i = 0; i < chips.size(); ++i) chips[i].chipName = "CHIP" + std::to_string(i);
        ChipDatabase large;
        QVERIFY(large.LoadFromBytes(EncodeDatabase(chips)));
        ChipSearchDlg capped(large, [](const std::string&) {});
        QCOMPARE(Count(capped), QString("Find 1024 Chips!"));
        QCOMPARE(List(capped)->topLevelItemCount(), 1024);
        QCOMPARE(Names(capped).front(), QString("CHIP1023"));
    }

    // Enter without a highlighted row asks for one. Of two rows picked bottom
    // first the upper one counts, for Select (Enter on the focused button), Enter
    // and a double-click; Cancel and Escape keep the chip and log the cancel.
    void closingTheSearch_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("picked");
        QTest::newRow("Select button") << 1 << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("double-click") << -1 << true;
        QTest::newRow("Cancel button") << 0 << false;
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
            } else if (key == 0) {
                QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
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
        QCOMPARE(fixture.core().Buffer().activeLength, picked ? 8u << 20 : 1u << 20);
        QVERIFY(fixture.Log().find("Search chip!") != std::string::npos);
        QCOMPARE(fixture.Log().find("Search chip cancel!") != std::string::npos, !picked);
    }

    void hexFieldsKeepTheLastGoodTextAndOkReadsThem() {
        BufferFillDlg dialog;
        QLineEdit* length = Edit(dialog, "lengthEdit");
        length->end(false);
        QTest::keyClicks(length, "2a");
        length->setCursorPosition(1);
        QTest::keyClicks(length, "G");
        QCOMPARE(length->text(), QString("12a"));
        QCOMPARE(length->cursorPosition(), 1);
        QLineEdit* data = Edit(dialog, "dataEdit");
        data->selectAll();
        QTest::keyClicks(data, "-");
        QCOMPARE(data->text(), QString("00"));
        QCOMPARE(data->cursorPosition(), 0);

        Retype(Edit(dialog, "startEdit"), "7f");
        Retype(length, "");
        Retype(data, "aA");
        QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Valid() && dialog.Start() == 0x7F && dialog.Length() == 0 && dialog.FillByte() == 0xAA);

        AddressLocateDlg locate;
        locate.show();
        QLineEdit* address = Edit(locate, "addressEdit");
        Retype(address, "F0");
        address->insert(QString::fromUtf8("中1"));  // pasted text goes through the same check
        QCOMPARE(address->text(), QString("F0"));
        QCOMPARE(address->cursorPosition(), 2);
        Retype(address, "");
        QTest::keyClick(address, Qt::Key_Return);  // OK is the default button
        QCOMPARE(locate.result(), int(QDialog::Accepted));
        QVERIFY(locate.Valid() && locate.Address() == 0);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
