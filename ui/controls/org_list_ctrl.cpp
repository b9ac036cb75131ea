#include "ui/controls/org_list_ctrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace qzm {

namespace {

// Rows are the height of the text "List" in the list's font plus one pixel.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QWidget* view = option.widget;
        const QFontMetrics metrics(view != nullptr ? view->font() : option.font);
        return {0, metrics.size(Qt::TextSingleLine, QStringLiteral("List")).height() + 1};
    }
};

}  // namespace

COrgListCtrl::COrgListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setItemDelegate(new RowHeightDelegate(this));
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void COrgListCtrl::SetColumns(std::initializer_list<std::pair<QString, int>> columns) {
    QStringList labels;
    for (const auto& column : columns) {
        labels << column.first;
    }
    setColumnCount(labels.size());
    setHeaderLabels(labels);
    int index = 0;
    for (const auto& column : columns) {
        header()->resizeSection(index++, column.second);
    }
}

void COrgListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QPalette& colors = palette();
    const bool selected = selectionModel() != nullptr && selectionModel()->isSelected(index);
    const bool focused = hasFocus() && currentIndex().row() == index.row();
    QColor background;
    QColor text;
    // Only a selected row is highlighted: the view makes a row current without selecting it (when
    // the list takes the focus), and that row must not look selected while the buttons say it is not.
    if (selected) {
        background = colors.color(QPalette::Active, QPalette::Highlight);
        text = colors.color(QPalette::Active, QPalette::HighlightedText);
    } else if (isEnabled()) {
        background = colors.color(QPalette::Base);
        const QString result = index.siblingAtColumn(1).data().toString();
        text = result == QLatin1String("NG")   ? QColor(255, 0, 0)
               : result == QLatin1String("OK") ? QColor(0, 0, 255)
                                               : colors.color(QPalette::Text);
    } else {
        background = colors.color(QPalette::Button);
        text = colors.color(QPalette::Active, QPalette::WindowText);
    }
    painter->fillRect(option.rect, background);
    if (focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = option.rect;
        focus.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    painter->setPen(text);
    for (int column = 0; column < header()->count(); ++column) {
        const QRect cell(header()->sectionViewportPosition(column), option.rect.top(),
                         header()->sectionSize(column), option.rect.height());
        const QString label = index.siblingAtColumn(column).data().toString();
        painter->drawText(cell.adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(label, Qt::ElideRight, cell.width() - 2));
    }
}

void COrgListCtrl::keyPressEvent(QKeyEvent* event) {
    HandToParent(event);
}

void COrgListCtrl::keyReleaseEvent(QKeyEvent* event) {
    HandToParent(event);
}

void COrgListCtrl::HandToParent(QKeyEvent* event) {
    if (parentWidget() != nullptr) {
        QCoreApplication::postEvent(parentWidget(), event->clone());
    }
    event->accept();
}

}  // namespace qzm
