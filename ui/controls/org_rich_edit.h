// The read-only log text: formatted insertion at a position, removal of the last block from its
// marker on, and a right click that asks for the log menu (only when the pointer stayed within 5
// pixels of the press, so a right-drag is not a click); the menu key asks for it too.
#pragma once

#include <QPoint>
#include <QTextCharFormat>
#include <QTextEdit>

namespace qzm {

class COrgRichEdit : public QTextEdit {
    Q_OBJECT

public:
    explicit COrgRichEdit(QWidget* parent = nullptr);

    // Applied to every inserted text that brings no format of its own, once it names a font family.
    void SetDefaultCharFormat(const QTextCharFormat& format) { defaultCharFormat_ = format; }
    const QTextCharFormat& DefaultCharFormat() const { return defaultCharFormat_; }

    // Inserts text at position (-1: the end), applies format (or the default format) to it and
    // leaves the caret at position with nothing selected.
    void InsertText(const QString& text, int position = -1, const QTextCharFormat* format = nullptr);

    // Finds the last whole-word, case-insensitive occurrence of marker and deletes from its start to
    // the end of the text; the caret goes to 0. False, and nothing deleted, when there is none.
    bool DeleteLastBlock(const QString& marker);

signals:
    // A right click (point: the release point) or the menu key (point: the caret), in this
    // control's coordinates.
    void MenuRequested(QPoint point);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTextCharFormat defaultCharFormat_;
    bool rightDown_ = false;
    QPoint pressPoint_{-1, -1};
};

}  // namespace qzm
