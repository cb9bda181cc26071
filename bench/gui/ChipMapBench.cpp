// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the chip map over a 16 MiB buffer with data, changed bytes and
// differences: a typed byte's row and repaint (goal: 2 ms), a repaint alone, and
// the rescan after a command changed the whole buffer.
#include "buffer/ChangeMarks.h"
#include "buffer/DataBuffer.h"
#include "buffer/DifferenceMarks.h"
#include "gui/ChipMap.h"

#include <QtTest>

using qbr::ChipMapModel;
using qbr::DataBuffer;
using qbr::DifferenceMarks;
using qbr::gui::ChipMap;

class ChipMapBench : public QObject {
    Q_OBJECT

private:
    DataBuffer buffer_;
    DifferenceMarks differences_;
    ChipMap map_;
    uint32_t typed_ = 0;

private slots:
    void initTestCase() {
        QVERIFY(buffer_.Allocate());
        buffer_.SetActiveLength(DataBuffer::kSize);
        std::vector<uint8_t> chip(DataBuffer::kSize, 0xFF);
        for (uint32_t at = 0; at < DataBuffer::kSize; at += 4099) buffer_.bytes[at] = 0x5A;
        for (uint32_t at = 0; at < DataBuffer::kSize; at += 65537) qbr::SetMark(buffer_, at);
        for (uint32_t at = 0; at < DataBuffer::kSize; at += 1048573) chip[at] = 0x00;
        differences_.Build(buffer_, std::move(chip));
        map_.resize(ChipMap::kWidth, 402);
        map_.Model().SetData(buffer_, DataBuffer::kSize, &differences_);
        map_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&map_));
    }

    // A byte typed somewhere new each time: its marks, its row, then the picture.
    void typedByteThenRepaint() {
        QBENCHMARK {
            typed_ = (typed_ + 40961) % DataBuffer::kSize;
            buffer_.bytes[typed_] ^= 0x01;
            qbr::SetMark(buffer_, typed_);
            differences_.Update(typed_);
            map_.Model().UpdateRow(typed_ / ChipMapModel::kRowBytes);
            map_.repaint();
        }
    }

    void repaintAlone() {
        QBENCHMARK {
            map_.repaint();
        }
    }

    void rescanWholeBuffer() {
        QBENCHMARK {
            map_.Model().Rescan();
        }
    }
};

QTEST_MAIN(ChipMapBench)
#include "ChipMapBench.moc"
