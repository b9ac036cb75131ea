// A report list with fixed columns the user cannot resize, rows as high as the font, and result
// colours: a row whose column 1 reads "OK" is blue, "NG" red. Selected rows are highlighted; the
// current row of a focused list has only the style's focus mark. Key presses go to the parent
// window, not to the list.
#pragma once

#include <QTreeWidget>
#include <initializer_list>
#include <utility>

namespace qzm {

class COrgListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    explicit COrgListCtrl(QWidget* parent = nullptr);

    // Replaces the columns by these labels and widths in pixels.
    void SetColumns(std::initializer_list<std::pair<QString, int>> columns);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void HandToParent(QKeyEvent* event);
};

}  // namespace qzm
