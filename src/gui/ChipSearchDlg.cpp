// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ChipSearchDlg.h"

#include "base/MessageTable.h"
#include "chipdb/CapacityText.h"
#include "chipdb/ChipType.h"
#include "gui/MenuTexts.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <iterator>

namespace qbr::gui {
namespace {

constexpr int kPatternLimit = 20;

struct Column {
    int title;
    int width;
};
constexpr Column kColumns[] = {{kMsgColumnChipName, 100},
                               {kMsgColumnCapacity, 80},
                               {kMsgColumnMaker, 80},
                               {kMsgColumnType, 80}};

const QColor kGridLine(208, 208, 208);

QTreeWidgetItem* MakeRow(const ChipRecord& chip) {
    auto* row = new QTreeWidgetItem(
        QStringList{QString::fromStdString(chip.chipName), QString::fromStdString(ShortCapacityText(chip)),
                    QString::fromStdString(chip.makerName), QString::fromStdString(ChipTypeName(chip.chipType))});
    for (int column = 0; column < row->columnCount(); ++column) row->setTextAlignment(column, Qt::AlignCenter);
    return row;
}

// Draws the right and bottom edge of every cell, so the list reads as a grid.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(kGridLine);
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

// Neither button is a default button: Enter on a button presses that button (see
// keyPressEvent), so none is drawn as if Enter always pressed it.
QPushButton* MakeButton(QDialog* dialog, const char* name, int message) {
    auto* button = new QPushButton(Text(message), dialog);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ChipSearchDlg::ChipSearchDlg(const ChipDatabase& database, BoxCallback showBox, QWidget* parent)
    : QDialog(parent), database_(database), showBox_(std::move(showBox)) {
    setObjectName("chipSearchDlg");
    setWindowTitle(Text(kMsgSearchCaption));

    patternEdit_ = new QLineEdit(this);
    patternEdit_->setObjectName("patternEdit");
    patternEdit_->setMaxLength(kPatternLimit);
    auto* hint = new QLabel(Text(kMsgSearchHint), this);
    hint->setObjectName("hintLabel");
    hint->setWordWrap(true);
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName("countLabel");
    CreateResultList();

    auto* select = MakeButton(this, "selectButton", kMsgSearchSelect);
    auto* cancel = MakeButton(this, "cancelButton", kMsgSearchCancel);
    connect(select, &QPushButton::clicked, this, &ChipSearchDlg::OnSelect);
    connect(cancel, &QPushButton::clicked, this, &ChipSearchDlg::reject);
    connect(resultList_, &QTreeWidget::itemDoubleClicked, this, &ChipSearchDlg::OnSelect);
    connect(patternEdit_, &QLineEdit::textChanged, this, &ChipSearchDlg::RefreshResults);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(select);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(Text(kMsgSearchNameLabel), this), 0, 0);
    layout->addWidget(patternEdit_, 0, 1);
    layout->addWidget(hint, 1, 0, 1, 2);
    layout->addWidget(countLabel_, 2, 0, 1, 2);
    layout->addWidget(resultList_, 3, 0, 1, 2);
    layout->addLayout(buttons, 0, 2, 4, 1);
    layout->setRowStretch(3, 1);

    RefreshResults();
    patternEdit_->setFocus();
}

void ChipSearchDlg::CreateResultList() {
    resultList_ = new QTreeWidget(this);
    resultList_->setObjectName("resultList");
    resultList_->setRootIsDecorated(false);
    resultList_->setItemsExpandable(false);
    resultList_->setUniformRowHeights(true);
    resultList_->setAllColumnsShowFocus(true);
    resultList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultList_->setItemDelegate(new GridDelegate(resultList_));

    QStringList titles;
    for (const Column& column : kColumns) titles << Text(column.title);
    resultList_->setHeaderLabels(titles);
    QHeaderView* header = resultList_->header();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    int width = 0;
    for (int i = 0; i < int(std::size(kColumns)); ++i) {
        resultList_->setColumnWidth(i, kColumns[i].width);
        width += kColumns[i].width;
    }
    // Room for every column and the scroll bar, so no column is cut.
    const int frame = 2 * resultList_->frameWidth();
    resultList_->setMinimumSize(width + resultList_->verticalScrollBar()->sizeHint().width() + frame, 260);
}

void ChipSearchDlg::RefreshResults() {
    // The count is that of the chips listed: a pattern that matches more than
    // the list holds reports the capped number, which always agrees with the rows.
    const auto found = database_.SearchByPattern(UpperCaseLetters(patternEdit_->text().toStdString()), AllTypes,
                                                 kResultLimit);
    countLabel_->setText(Text(kMsgFoundPrefix) + QString::number(found.size()) + Text(kMsgFoundSuffix));

    // Each result goes on top of those before it: the list shows them in
    // reverse database order.
    QList<QTreeWidgetItem*> rows;
    for (auto chip = found.rbegin(); chip != found.rend(); ++chip) rows.append(MakeRow(*chip));
    resultList_->clear();
    resultList_->addTopLevelItems(rows);
}

void ChipSearchDlg::OnSelect() {
    selectedName_.clear();
    for (int row = 0; row < resultList_->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = resultList_->topLevelItem(row);
        if (item->isSelected()) {
            selectedName_ = item->text(0).toStdString();
            accept();
            return;
        }
    }
    showBox_(MessageText(kMsgPleaseSelectChip));
}

void ChipSearchDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Enter presses the button that has the focus; anywhere else it does what
    // Select does.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
        button->click();
        return;
    }
    OnSelect();
}

}  // namespace qbr::gui
