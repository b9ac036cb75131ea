// "Input name": asks for a user's name. OK (or Enter) checks what the dialog itself can (a name must
// hold something other than blanks and stay on one line), stores the text and asks the owner to
// check it (WM_NAME_CHECK); the dialog stays open until the owner accepts the name, so a name
// already taken can be corrected at once. A name holds at most 127 UTF-16 code units, what an album
// file keeps, and never half of a character; it is kept exactly as typed, in any script.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>

#include "ui/messenger.h"
#include "ui/state_bmp_button.h"

namespace qzm {

// String ids of the dialog's own refusals.

class CNameInputDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxNameUnits = 127;
    // Modal results.
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    // messenger shows the refusals and must outlive the dialog.
    explicit CNameInputDlg(CMessenger& messenger, QWidget* parent = nullptr);

    // Presets the edit box (cut to the limit) and the text.
    void SetText(const QString& text);
    // The text stored by the last OK, or the preset text.
    const QString& Text() const { return text_; }

    // The owner accepts the stored name: the dialog closes with kResultOk.
    void Accept();
    // Cancel, Escape or closing the window: kResultCancel.
    void reject() override;

    QLineEdit& Edit() { return *edit_; }
    CStateBmpButton& OkButton() { return *ok_; }
    CStateBmpButton& CancelButton() { return *cancel_; }

signals:
    // WM_NAME_CHECK with 0 when a name was entered; answer with Accept(), or leave the dialog open.
    void Request(int message, qintptr parameter);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Submit(bool fromEnter);
    void SelectAllInEdit();
    void DropHalfCharacters();

    CMessenger& messenger_;
    QLineEdit* edit_ = nullptr;
    CStateBmpButton* ok_ = nullptr;
    CStateBmpButton* cancel_ = nullptr;
    QString text_;
};

}  // namespace qzm
