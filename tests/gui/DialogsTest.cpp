// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs: the chip search, whose list follows the pattern as it is typed and
// whose command picks, keeps or cancels the chip, and the Buffer Fill and Address
// Location dialogs, whose fields only ever hold hex digits.
#include "WindowFixture.h"
#include "chipdb/ChipDatabaseFile.h"
#include "gui/AddressLocateDlg.h"
#include "gui/BufferFillDlg.h"
#include "gui/ChipSearchDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

using qbr::ChipDatabase;
using qbr::gui::AddressLocateDlg;
using qbr::gui::BufferFillDlg;
using qbr::gui::ChipSearchDlg;
using qbr::test::WhenDialogOpens;
using qbr::test::WindowFixture;

namespace {

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row) texts << list->topLevelItem(row)->text(column);
    return texts;
}

// The names a pattern should list, worked out independently of the search: the
// fragments between '*' in order, anywhere in the name, bottom of the database first.
QStringList ExpectedNames(const ChipDatabase& database, const QString& pattern) {
    QStringList fragments;
    for (const QString& fragment : pattern.toUpper().split('*', Qt::SkipEmptyParts)) {
        fragments << QRegularExpression::escape(fragment);
    }
    const QRegularExpression match(fragments.join(".*"));
    QStringList names;
    for (const auto& chip : database.Records()) {
        const QString name = QString::fromStdString(chip.chipName);
        if (match.match(name).hasMatch()) names.prepend(name);
    }
    return names;
}

QTreeWidget* List(QWidget& dialog) {
    return dialog.findChild<QTreeWidget*>("resultList");
}
QLineEdit* Pattern(QWidget& dialog) {
    return dialog.findChild<QLineEdit*>("patternEdit");
}
QString Count(QWidget& dialog) {
    return dialog.findChild<QLabel*>("countLabel")->text();
}
void Click(QWidget& dialog, const char* button) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
}

QTreeWidgetItem* Row(QWidget& dialog, const QString& name) {
    const auto found = List(dialog)->findItems(name, Qt::MatchExactly, 0);
    return found.isEmpty() ? nullptr : found.front();
}

void ClickRow(QWidget& dialog, const QString& name, Qt::KeyboardModifiers modifiers = {}) {
    QTreeWidget* list = List(dialog);
    QTreeWidgetItem* row = Row(dialog, name);
    QVERIFY2(row, qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualItemRect(row).center());
}

QLineEdit* Edit(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
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

        QString typed;
        for (const QChar key : QString("en25*80")) {
            QTest::keyClicks(Pattern(dialog), QString(key));
            typed += key;
            const QStringList expected = ExpectedNames(database, typed);
            QCOMPARE(Column(List(dialog), 0), expected);
            QCOMPARE(Count(dialog), QString("Find %1 Chips!").arg(expected.size()));
        }
        const QStringList lowerCase = Column(List(dialog), 0);
        QVERIFY(lowerCase.contains("EN25T80"));
        QVERIFY(lowerCase.size() < 20);

        Pattern(dialog)->setText("EN25*80");
        QCOMPARE(Column(List(dialog), 0), lowerCase);
        // Only a to z change case: a non-ASCII letter matches nothing.
        Pattern(dialog)->setText(QString::fromUtf8("en25ä"));
        QCOMPARE(Count(dialog), QString("Find 0 Chips!"));

        Pattern(dialog)->setText(QString(25, 'x'));
        QCOMPARE(Pattern(dialog)->text().size(), 20);

        // The rows show the chip, every chip is listed, up to the limit.
        const QTreeWidget* list = List(dialog);
        QCOMPARE(list->headerItem()->text(2), QString("Manu"));

        Pattern(dialog)->setText("**");
        QCOMPARE(list->topLevelItemCount(), int(database.RecordCount()));
        QCOMPARE(list->topLevelItem(0)->text(0), QString::fromStdString(database.Records().back().chipName));

        Pattern(dialog)->setText("at24c02");
        QTreeWidgetItem* row = Row(dialog, "AT24C02");
        QVERIFY(row);
        QCOMPARE((QStringList{row->text(0), row->text(1), row->text(2), row->text(3)}),
                 (QStringList{"AT24C02", "256B", "ATMEL", "24 EEPROM"}));
        QCOMPARE(Qt::Alignment(row->textAlignment(3)), Qt::Alignment(Qt::AlignCenter));

        // A database larger than the list: the first 1024 matches are listed and counted.
        std::vector<qbr::ChipRecord> chips(1100);
        for (size_t i = 0; i < chips.size(); ++i) chips[i].chipName = "CHIP" + std::to_string(i);
        ChipDatabase large;
        QVERIFY(large.LoadFromBytes(qbr::EncodeDatabase(chips)));
        ChipSearchDlg capped(large, [](const std::string&) {});
        QCOMPARE(Count(capped), QString("Find 1024 Chips!"));
        QCOMPARE(List(capped)->topLevelItemCount(), 1024);
        QCOMPARE(List(capped)->topLevelItem(0)->text(0), QString("CHIP1023"));
    }

    void selectTakesTheTopmostSelectedRow() {
        WindowFixture fixture;
        bool stayedOpen = false;
        WhenDialogOpens("chipSearchDlg", [&](QDialog& dialog) {
            QTest::keyClick(Pattern(dialog), Qt::Key_Return);  // Enter without a highlighted row: as Select
            stayedOpen = dialog.isVisible();
            QTest::keyClicks(Pattern(dialog), "w25q64j");
            const QStringList rows = Column(List(dialog), 0);
            QCOMPARE(rows, (QStringList{"W25Q64JW-IQ", "W25Q64JW-IM", "W25Q64JV-IQ", "W25Q64JV-IM"}));
            // Two rows picked bottom first: the upper one counts.
            ClickRow(dialog, rows[2]);
            ClickRow(dialog, rows[1], Qt::ControlModifier);
            // Enter presses the button that has the focus.
            auto* select = dialog.findChild<QPushButton*>("selectButton");
            select->setFocus();
            QTest::keyClick(select, Qt::Key_Return);
        });
        QTest::mouseClick(fixture.Child<QPushButton>("searchButton"), Qt::LeftButton);

        QVERIFY(stayedOpen);
        QCOMPARE(fixture.boxes, QStringList{"Please select a chip!"});
        QCOMPARE(QString::fromStdString(fixture.core().SelectedChip().chipName), QString("W25Q64JW-IM"));
        QCOMPARE(fixture.Child<QComboBox>("makerCombo")->currentText(), QString("WINBOND"));
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), QString("W25Q64JW-IM"));
        QCOMPARE(fixture.Status(), QString("W25Q64JW-IM"));
        QCOMPARE(fixture.core().Buffer().activeLength, 8u << 20);
        QVERIFY(fixture.Log().find("Search chip!") != std::string::npos);
    }

    // Cancel and Escape keep the chip and log the cancel; Enter and a double-click
    // pick the highlighted row. A command chosen meanwhile is refused while a read
    // runs, in the programmer commands' test.
    void closingTheSearch_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<bool>("logsCancel");
        QTest::newRow("Cancel button") << 0 << "EN25T80" << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << "EN25T80" << true;
        QTest::newRow("Enter") << int(Qt::Key_Return) << "W25Q64FV" << false;
        QTest::newRow("double-click") << -1 << "W25Q64FV" << false;
    }

    void closingTheSearch() {
        QFETCH(int, key);
        QFETCH(QString, chip);
        QFETCH(bool, logsCancel);
        WindowFixture fixture;
        WhenDialogOpens("chipSearchDlg", [key](QDialog& dialog) {
            QTest::keyClicks(Pattern(dialog), "w25q64fv");
            ClickRow(dialog, "W25Q64FV");
            if (key == 0) {
                Click(dialog, "cancelButton");
            } else if (key < 0) {  // arrives as press, release, double-click
                QTreeWidget* list = List(dialog);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                                   list->visualItemRect(Row(dialog, "W25Q64FV")).center());
            } else {
                QTest::keyClick(List(dialog), Qt::Key(key));
            }
        });
        QTest::mouseClick(fixture.Child<QPushButton>("searchButton"), Qt::LeftButton);
        QCOMPARE(QString::fromStdString(fixture.core().SelectedChip().chipName), chip);
        QCOMPARE(fixture.Child<QComboBox>("chipCombo")->currentText(), chip);
        QCOMPARE(fixture.Log().find("Search chip cancel!") != std::string::npos, logsCancel);
    }

    void badCharacterRestoresTheLastGoodText() {
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

        AddressLocateDlg locate;
        QLineEdit* address = Edit(locate, "addressEdit");
        Retype(address, "F0");
        address->insert(QString::fromUtf8("中1"));  // pasted text goes through the same check
        QCOMPARE(address->text(), QString("F0"));
        QCOMPARE(address->cursorPosition(), 2);
    }

    void okReadsTheFields() {
        BufferFillDlg dialog;
        Retype(Edit(dialog, "startEdit"), "7f");
        Retype(Edit(dialog, "lengthEdit"), "");
        Retype(Edit(dialog, "dataEdit"), "aA");
        Click(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.Valid());
        QCOMPARE(dialog.Start(), 0x7Fu);
        QCOMPARE(dialog.Length(), 0u);
        QCOMPARE(dialog.FillByte(), uint8_t{0xAA});

        AddressLocateDlg locate;
        locate.show();
        Retype(Edit(locate, "addressEdit"), "");
        QTest::keyClick(Edit(locate, "addressEdit"), Qt::Key_Return);  // OK is the default button
        QCOMPARE(locate.result(), int(QDialog::Accepted));
        QVERIFY(locate.Valid());
        QCOMPARE(locate.Address(), 0u);
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
