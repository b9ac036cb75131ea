// Answers a test's modal dialogs as they come up, from a script of actions.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <initializer_list>

namespace qzm_test {

// Answers the modal dialogs of type Dialog on the window thread as they come up, one scripted
// action each. A dialog beyond the script is counted and cancelled, and so is one whose action
// failed a check, so that a test ends instead of waiting for ever.
template <class Dialog>
class DialogScript : public QObject {
public:
    using Action = std::function<void(Dialog&)>;

    explicit DialogScript(std::initializer_list<Action> actions) : actions_(actions) {
        connect(&poll_, &QTimer::timeout, this, &DialogScript::Poll);
        poll_.start(10);
    }
    void Add(Action action) { actions_.push_back(std::move(action)); }
    int Shown() const { return shown_; }
    bool Done() const { return actions_.empty(); }

private:
    void Poll() {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        // Once per showing: a dialog the action left open is not handled again.
        if (running_ || dialog == nullptr || !dialog->isVisible() || dialog == handled_)
            return;
        handled_ = dialog;
        disconnect(finished_);
        finished_ = connect(dialog, &QDialog::finished, this, [this] { handled_ = nullptr; });
        ++shown_;
        if (actions_.empty()) {
            dialog->reject();
            return;
        }
        const Action action = actions_.front();
        actions_.pop_front();
        running_ = true;  // the action may run flows with event loops of their own
        action(*dialog);
        running_ = false;
        if (QTest::currentTestFailed() && dialog->isVisible())
            dialog->reject();
    }

    std::deque<Action> actions_;
    QTimer poll_;
    int shown_ = 0;
    bool running_ = false;
    Dialog* handled_ = nullptr;  // the dialog whose showing was handled, until it finishes
    QMetaObject::Connection finished_;
};

}  // namespace qzm_test
