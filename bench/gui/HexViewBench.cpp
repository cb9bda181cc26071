// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the buffer's view on a 16 MiB chip: one full repaint, and one
// typed character with its checksum.
#include "buffer/DataBuffer.h"
#include "gui/HexView.h"

#include <QLabel>
#include <QScrollBar>
#include <QtTest>

using qbr::DataBuffer;
using qbr::HexViewModel;
using qbr::gui::HexView;

class HexViewBench : public QObject {
    Q_OBJECT

private:
    DataBuffer buffer_;
    HexView view_;
    QScrollBar bar_;
    QLabel checksum_;

private slots:
    void initTestCase() {
        QVERIFY(buffer_.Allocate());
        buffer_.SetActiveLength(DataBuffer::kSize);
        view_.resize(HexViewModel::kWidth, HexViewModel::kHeight);
        view_.Attach(&bar_, &checksum_);
        view_.SetData(buffer_, DataBuffer::kSize);
        view_.show();
        QVERIFY(QTest::qWaitForWindowActive(&view_));
        view_.GoToAddress(0x800000);
    }

    void fullRepaint() {
        QBENCHMARK {
            view_.repaint();
        }
    }

    void typedCharacterWithChecksum() {
        QBENCHMARK {
            QTest::keyClick(&view_, Qt::Key_5, Qt::NoModifier);
        }
        QVERIFY(checksum_.text().startsWith("CheckSum: "));
    }
};

QTEST_MAIN(HexViewBench)
#include "HexViewBench.moc"
