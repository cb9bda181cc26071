// SPDX-License-Identifier: GPL-3.0-or-later
// The Buffer Fill and Address Location dialogs: fields that only ever hold hex
// digits, and the results of OK.
#include "gui/AddressLocateDlg.h"
#include "gui/BufferFillDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using qbr::gui::AddressLocateDlg;
using qbr::gui::BufferFillDlg;

namespace {

QLineEdit* Edit(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name);
}

void Click(QWidget& dialog, const char* button) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
}

// Replaces a field's whole text as if typed.
void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

}  // namespace

class EditDialogsTest : public QObject {
    Q_OBJECT

private slots:
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

QTEST_MAIN(EditDialogsTest)
#include "EditDialogsTest.moc"
