#include "ui/dialogs/messenger.h"

#include <QMessageBox>

namespace qzm {

namespace {

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::kInformation:
            return QMessageBox::Information;
        case MsgIcon::kWarning:
            return QMessageBox::Warning;
        case MsgIcon::kQuestion:
            return QMessageBox::Question;
        case MsgIcon::kError:
            return QMessageBox::Critical;
        case MsgIcon::kNone:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::kYesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::kYesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::kOk:
            break;
    }
    return QMessageBox::Ok;
}

MsgAnswer Answer(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return MsgAnswer::kYes;
        case QMessageBox::No:
            return MsgAnswer::kNo;
        case QMessageBox::Cancel:
            return MsgAnswer::kCancel;
        default:
            return MsgAnswer::kOk;
    }
}

}  // namespace

MsgAnswer CMessageBoxMessenger::Show(int, const QString& text, MsgIcon icon, MsgButtons buttons) {
    QMessageBox box(BoxIcon(icon), QStringLiteral("QZM-K Demo"), text, BoxButtons(buttons), parent_.data());
    box.setAccessibleName(text);
    // Escape or closing the box answers with its Cancel, No or only button (QMessageBox's choice).
    return Answer(box.exec());
}

}  // namespace qzm
