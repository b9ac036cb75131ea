// "Input name": asks for a user's name. OK (or Enter) checks what the dialog itself can (a name must
// hold something other than blanks and stay on one line), then whether the name is free with the
// check its owner gave; the dialog stays open until a free name is entered, so a name already taken
// can be corrected at once. A name holds at most 127 UTF-16 code units, what an album
// file keeps, and never half of a character; it is kept exactly as typed, in any script.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <functional>

#include "ui/controls/state_bmp_button.h"
#include "ui/dialogs/messenger.h"

namespace qzm {

class CNameInputDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxNameUnits = 127;
    // Modal results.
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    // messenger shows the refusals and must outlive the dialog.
    explicit CNameInputDlg(CMessenger& messenger, QWidget* parent = nullptr);

    // Whether a name is free; true when no check is set.
    using NameCheck = std::function<bool(const QString& name)>;

    // Presets the edit box (cut to the limit) and the text, and sets the check for this showing.
    void SetText(const QString& text, NameCheck isFree = {});
    // The text stored by the last OK, or the preset text.
    const QString& Text() const { return text_; }

    // Cancel, Escape or closing the window: kResultCancel.
    void reject() override;

    QLineEdit& Edit() { return *edit_; }
    CStateBmpButton& OkButton() { return *ok_; }
    CStateBmpButton& CancelButton() { return *cancel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Submit(bool fromEnter);
    void SelectAllInEdit();
    void DropHalfCharacters();

    CMessenger& messenger_;
    NameCheck isFree_;
    QLineEdit* edit_ = nullptr;
    CStateBmpButton* ok_ = nullptr;
    CStateBmpButton* cancel_ = nullptr;
    QString text_;
};

}  // namespace qzm
