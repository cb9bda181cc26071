// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer's view on the offscreen platform: what it draws, and how it drives
// its scroll bar and checksum label.
#include "buffer/ChangeMarks.h"
#include "buffer/DataBuffer.h"
#include "gui/HexView.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using qbr::HexViewModel;

const QRgb kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0), kRed = qRgb(255, 0, 0), kCyan = qRgb(0, 255, 255),
           kLavender = qRgb(200, 200, 230);

// The view with a scroll bar, a checksum label and another field to take the focus.
class HexViewTest : public QObject {
    Q_OBJECT

    using M = HexViewModel;
    static QRect Cell(int column, int row) { return {M::CellX(column), M::CellY(row), M::kCellWidth, M::kCellHeight}; }
    static QSet<QRgb> Colours(const QImage& image, int column, int row) {  // the distinct colours of a cell
        QSet<QRgb> colours;
        const QRect cell = Cell(column, row);
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = cell.left(); x <= cell.right(); ++x) colours.insert(image.pixel(x, y));
        }
        return colours;
    }
    static void Wheel(QWidget* widget) {  // one notch down over `widget`
        QWheelEvent event(QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(widget, &event);
    }

    qbr::DataBuffer buffer_;
    std::unique_ptr<QWidget> window_;
    qbr::gui::HexView* view_ = nullptr;
    QScrollBar* bar_ = nullptr;
    QLabel checksum_;
    QLineEdit* other_ = nullptr;

    void Bind(uint32_t length) {
        buffer_.SetActiveLength(length);
        view_->SetData(buffer_, length);
    }

    // Clicks a cell and waits for the caret's shown blink phase; until events are
    // handled again it cannot blink, so the picture returned shows it.
    QImage ClickAndPicture(int column, int row) {
        QTest::mouseClick(view_, Qt::LeftButton, {}, Cell(column, row).center());
        view_->Refresh(false);
        if (!QTest::qWaitFor([this] { return !view_->Model().BlinkHidden(); }, 2000)) return {};
        return view_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init() {
        QVERIFY(buffer_.IsAllocated() || buffer_.Allocate());
        std::fill(buffer_.changeMarks.begin(), buffer_.changeMarks.end(), 0);
        window_ = std::make_unique<QWidget>();
        window_->resize(700, 500);
        view_ = new qbr::gui::HexView(window_.get());
        other_ = new QLineEdit(window_.get());
        other_->move(0, 450);
        bar_ = new QScrollBar(window_.get());
        view_->Attach(bar_, &checksum_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void drivesScrollBarAndChecksum() {
        std::fill(buffer_.bytes.begin(), buffer_.bytes.end(), 0xFF);
        Bind(256);
        QCOMPARE(checksum_.text(), QString("CheckSum: 0000FF00H"));
        QCOMPARE(bar_->maximum(), 1);
        bar_->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // declined: the thumb stays
        QCOMPARE(bar_->value(), 0);
        Bind(0x1000000);
        other_->setFocus();
        bar_->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(view_->Model().TopRow(), 16u);
        QVERIFY(view_->hasFocus());
        bar_->triggerAction(QAbstractSlider::SliderToMaximum);
        bar_->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(bar_->value(), 65534);  // the last full page
        bar_->setSliderPosition(300);    // dragging the thumb
        QCOMPARE(view_->Model().TopRow(), 300u * 16);
        // The wheel moves one row, over the scroll bar as over the view.
        Wheel(bar_);
        QCOMPARE(view_->Model().TopRow(), 300u * 16 + 1);
        Wheel(view_);
        QCOMPARE(view_->Model().TopRow(), 300u * 16 + 2);
        QCOMPARE(bar_->value(), 300);

        QTest::keyClicks(view_, "41");
        QCOMPARE(checksum_.text(), QString("CheckSum: FEFFFF42H"));
    }

    void coloursOfMarksSelectionAndCaret() {
        Bind(256);
        qbr::SetMark(buffer_, 0x12);
        QImage image = ClickAndPicture(14, 2);  // low digit of the marked byte 0x12
        QCOMPARE(Colours(image, 13, 2), (QSet<QRgb>{kRed, kLavender}));
        QCOMPARE(Colours(image, 14, 2), (QSet<QRgb>{kCyan, kBlack}));
        QCOMPARE(Colours(image, 16, 2), (QSet<QRgb>{kBlack, kWhite}));

        image = ClickAndPicture(58, 2);  // character of the unmarked byte 0x13
        QCOMPARE(Colours(image, 58, 2), (QSet<QRgb>{kWhite, kBlack}));
        QCOMPARE(Colours(image, 16, 2), (QSet<QRgb>{kBlack, kLavender}));
        other_->setFocus();
        image = view_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(Colours(image, 58, 2), (QSet<QRgb>{kBlack, kLavender}));
        for (QPoint at : {QPoint(0, 16), QPoint(577, 16), QPoint(54, 0), QPoint(54, 401), QPoint(578, 16)}) {
            QCOMPARE(image.pixel(at), at.x() == 578 ? kWhite : kLavender);
        }
    }
};

QTEST_MAIN(HexViewTest)
#include "HexViewTest.moc"
