#include "ui/controls/org_rich_edit.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdlib>

namespace qzm {

namespace {
constexpr int kClickSlop = 5;
}  // namespace

COrgRichEdit::COrgRichEdit(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
}

void COrgRichEdit::contextMenuEvent(QContextMenuEvent* event) {
    // The log page shows its own menu on MenuRequested: from the mouse once the button is released
    // (see mouseReleaseEvent), from the keyboard at once.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        emit MenuRequested(viewport()->mapToParent(cursorRect().bottomLeft()));
    }
}

void COrgRichEdit::InsertText(const QString& text, int position, const QTextCharFormat* format) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const int end = cursor.position();
    const int start = (position < 0 || position > end) ? end : position;
    cursor.setPosition(start);
    cursor.insertText(text);
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    if (format != nullptr) {
        cursor.mergeCharFormat(*format);
    } else if (!defaultCharFormat_.fontFamilies().toStringList().isEmpty()) {
        cursor.mergeCharFormat(defaultCharFormat_);
    }
    cursor.setPosition(position < 0 ? cursor.document()->characterCount() - 1 : start);
    setTextCursor(cursor);
    viewport()->update();
}

bool COrgRichEdit::DeleteLastBlock(const QString& marker) {
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextCursor found =
        document()->find(marker, end, QTextDocument::FindBackward | QTextDocument::FindWholeWords);
    if (!found.isNull()) {
        found.setPosition(found.selectionStart());
        found.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        found.removeSelectedText();
    }
    QTextCursor home(document());
    setTextCursor(home);
    return !found.isNull();
}

void COrgRichEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        pressPoint_ = event->position().toPoint();
        rightDown_ = true;
    }
    QTextEdit::mousePressEvent(event);
}

void COrgRichEdit::mouseMoveEvent(QMouseEvent* event) {
    const QPoint moved = event->position().toPoint() - pressPoint_;
    if (rightDown_ && (std::abs(moved.x()) > kClickSlop || std::abs(moved.y()) > kClickSlop)) {
        rightDown_ = false;
    }
    QTextEdit::mouseMoveEvent(event);
}

void COrgRichEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && rightDown_) {
        rightDown_ = false;
        // Mouse events arrive in viewport coordinates; callers map from the control itself.
        emit MenuRequested(viewport()->mapToParent(event->position().toPoint()));
    }
    QTextEdit::mouseReleaseEvent(event);
}

}  // namespace qzm
