#include "ui/dialogs/name_input_dlg.h"

#include <QKeyEvent>
#include <QSignalBlocker>

#include "ui/controls/skins.h"

namespace qzm {

namespace {

constexpr int kMargin = 16;
constexpr int kGap = 8;
constexpr int kEditWidth = 264;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

bool HasLineBreak(const QString& text) {
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar(0x85) || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            return true;
        }
    }
    return false;
}

}  // namespace

CNameInputDlg::CNameInputDlg(CMessenger& messenger, QWidget* parent)
    : QDialog(parent), messenger_(messenger) {
    setWindowTitle(QStringLiteral("Input name"));
    setAccessibleName(windowTitle());
    edit_ = new QLineEdit(this);
    edit_->setAccessibleName(QStringLiteral("Name"));
    edit_->setMaxLength(kMaxNameUnits);
    ok_ = new CStateBmpButton(QStringLiteral("OK"), this);
    cancel_ = new CStateBmpButton(QStringLiteral("Cancel"), this);
    for (CStateBmpButton* button : {ok_, cancel_}) {
        ApplySkin(*button, SkinKind::kButton);
    }
    connect(ok_, &QAbstractButton::clicked, this, [this] { Submit(false); });
    connect(cancel_, &QAbstractButton::clicked, this, &CNameInputDlg::reject);
    connect(edit_, &QLineEdit::textChanged, this, &CNameInputDlg::DropHalfCharacters);

    const int editHeight = edit_->sizeHint().height();
    edit_->setGeometry(kMargin, kMargin, kEditWidth, editHeight);
    const int buttonsY = kMargin + editHeight + kMargin;
    const int right = kMargin + kEditWidth;
    cancel_->setGeometry(right - kButtonWidth, buttonsY, kButtonWidth, kButtonHeight);
    ok_->setGeometry(right - 2 * kButtonWidth - kGap, buttonsY, kButtonWidth, kButtonHeight);
    setFixedSize(right + kMargin, buttonsY + kButtonHeight + kMargin);
}

void CNameInputDlg::SetText(const QString& text, NameCheck isFree) {
    edit_->setText(text);
    text_ = edit_->text();
    isFree_ = std::move(isFree);
}

void CNameInputDlg::reject() {
    done(kResultCancel);
}

void CNameInputDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SelectAllInEdit();
}

void CNameInputDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == cancel_) {
            reject();
        } else {
            Submit(true);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void CNameInputDlg::Submit(bool fromEnter) {
    const QString typed = edit_->text();
    const int refusal = typed.trimmed().isEmpty() ? kStrNameEmpty
                        : HasLineBreak(typed)     ? kStrNameLineBreak
                                                  : 0;
    if (refusal != 0) {
        messenger_.ShowMessage(refusal, MsgIcon::kWarning, MsgButtons::kOk);
        SelectAllInEdit();
        return;
    }
    text_ = typed;
    if (isFree_ && !isFree_(typed)) {
        messenger_.ShowMessage(kStrNameTaken, MsgIcon::kWarning, MsgButtons::kOk);
        // The user corrects it where they typed it.
        if (fromEnter)
            SelectAllInEdit();
        return;
    }
    done(kResultOk);
}

void CNameInputDlg::SelectAllInEdit() {
    edit_->setFocus();
    edit_->selectAll();
}

// The edit's length limit counts UTF-16 code units and may cut a character made of two of them
// (an emoji, a rare ideograph) in half; such halves are taken out again.
void CNameInputDlg::DropHalfCharacters() {
    const QString text = edit_->text();
    QString whole;
    whole.reserve(text.size());
    const int cursor = edit_->cursorPosition();
    int droppedBeforeCursor = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pairStart = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pairStart) {
            whole += c;
            whole += text[++i];
        } else if (c.isSurrogate()) {
            droppedBeforeCursor += i < cursor ? 1 : 0;
        } else {
            whole += c;
        }
    }
    if (whole.size() != text.size()) {
        const QSignalBlocker quiet(edit_);
        edit_->setText(whole);
        edit_->setCursorPosition(cursor - droppedBeforeCursor);
    }
}

}  // namespace qzm
