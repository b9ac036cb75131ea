// Every message the windows show to the user goes through CMessenger: a string-table id, an icon,
// the buttons and the printf arguments of the text, and back comes the answer. The program uses
// CMessageBoxMessenger; tests put a scripted answerer in its place.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "core/device_outcome.h"
#include "ui/controls/ui_text.h"

namespace qzm {

enum class MsgIcon { kNone, kInformation, kWarning, kQuestion, kError };
enum class MsgButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MsgAnswer { kOk, kCancel, kYes, kNo };

class CMessenger {
public:
    virtual ~CMessenger() = default;

    // Shows the text of id formatted with args and waits for the user's answer.
    template <class... Args>
    MsgAnswer ShowMessage(int id, MsgIcon icon, MsgButtons buttons, const Args&... args) {
        return Show(id, UiFormat(id, args...), icon, buttons);
    }

    // The message for a device operation's outcome: its text, then the reason on a line of its own.
    // A message without text (a success that says nothing) shows nothing and answers kOk.
    MsgAnswer ShowUserMessage(const UserMessage& message, MsgButtons buttons = MsgButtons::kOk) {
        if (message.text.id == 0)
            return MsgAnswer::kOk;
        const MsgIcon icon =
            message.icon == MessageIcon::kWarning ? MsgIcon::kWarning : MsgIcon::kInformation;
        return Show(message.text.id, QString::fromStdString(message.Format()), icon, buttons);
    }

protected:
    virtual MsgAnswer Show(int id, const QString& text, MsgIcon icon, MsgButtons buttons) = 0;
};

// A modal message box over the parent window, titled with the application's display name.
class CMessageBoxMessenger : public CMessenger {
public:
    explicit CMessageBoxMessenger(QWidget* parent = nullptr) : parent_(parent) {}

protected:
    MsgAnswer Show(int id, const QString& text, MsgIcon icon, MsgButtons buttons) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace qzm
