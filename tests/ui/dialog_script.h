// Answers the program's modal dialogs and pop-up menus in the window tests and benchmarks, as a
// user would: each one as it comes up, from a script of actions. With the usual answers: a name
// typed into the name dialog, a file chosen in a file dialog.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <initializer_list>
#include <type_traits>

#include "ui/dialogs/name_input_dlg.h"

namespace qzm_test {

// Answers the modal dialogs (or pop-up menus) of type Window on the window thread as they come up,
// one scripted action each. One beyond the script is counted and dismissed, and so is one whose
// action failed a check or left it open after a failed check, so that a test ends instead of
// waiting for ever.
template <class Window>
class DialogScript : public QObject {
public:
    using Action = std::function<void(Window&)>;

    explicit DialogScript(std::initializer_list<Action> actions = {}) : actions_(actions) {
        connect(&poll_, &QTimer::timeout, this, &DialogScript::Poll);
        poll_.start(10);
    }
    void Add(Action action) { actions_.push_back(std::move(action)); }
    int Shown() const { return shown_; }
    bool Done() const { return actions_.empty(); }

protected:
    // Once per showing: a window the action left open is not handled again until it has hidden.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == handled_ && event->type() == QEvent::Hide) {
            handled_->removeEventFilter(this);
            handled_ = nullptr;
        }
        return false;
    }

private:
    void Poll() {
        QWidget* up = QApplication::activePopupWidget();
        if (up == nullptr)
            up = QApplication::activeModalWidget();
        auto* window = qobject_cast<Window*>(up);
        if (running_ || window == nullptr || !window->isVisible() || window == handled_)
            return;
        handled_ = window;
        window->installEventFilter(this);
        ++shown_;
        if (actions_.empty()) {
            Dismiss(*window);
            return;
        }
        const Action action = actions_.front();
        actions_.pop_front();
        running_ = true;  // the action may run flows with event loops of their own
        action(*window);
        running_ = false;
        if (QTest::currentTestFailed() && window->isVisible())
            Dismiss(*window);
    }
    static void Dismiss(Window& window) {
        if constexpr (std::is_base_of_v<QDialog, Window>)
            window.reject();
        else
            window.close();
    }

    std::deque<Action> actions_;
    QTimer poll_;
    int shown_ = 0;
    bool running_ = false;
    QPointer<Window> handled_;  // the window whose showing was handled, until it hides
};

// Types name into the name dialog as an input method puts it (key clicks are ASCII only) and
// confirms it with OK, or with Enter; proposed gets the name the dialog offered, selected.
inline std::function<void(qzm::CNameInputDlg&)> EnterName(const QString& name, bool withEnter = false,
                                                          QString* proposed = nullptr) {
    return [=](qzm::CNameInputDlg& dialog) {
        if (proposed != nullptr)
            *proposed = dialog.Edit().selectedText();
        dialog.Edit().clear();
        dialog.Edit().insert(name);
        if (withEnter)
            QTest::keyClick(&dialog.Edit(), Qt::Key_Return);
        else
            QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton);
    };
}

// Chooses path in a file dialog and accepts it; seen gets what the dialog offered: "save" or
// "open", the folder it started in and the file selected in it.
inline std::function<void(QFileDialog&)> ChooseFile(const QString& path, QStringList* seen = nullptr) {
    return [=](QFileDialog& dialog) {
        if (seen != nullptr) {
            *seen << (dialog.acceptMode() == QFileDialog::AcceptSave ? "save" : "open")
                  << dialog.directory().absolutePath() << dialog.selectedFiles().value(0);
        }
        dialog.selectFile(path);
        // selectFile leaves the name field alone while it has the focus (whether it does depends on
        // the window being active); there a user would type.
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (field != nullptr && field->hasFocus())
            field->setText(path);
        static_cast<QDialog&>(dialog).accept();  // QFileDialog's own accept, which asks before overwriting
    };
}

// The file dialog's list shows name selected, within five seconds (the list fills in the background).
inline bool ShowsSelected(QFileDialog& dialog, const QString& name) {
    return QTest::qWaitFor(
        [&] {
            for (const QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
                if (!view->isVisible() || view->selectionModel() == nullptr)
                    continue;
                for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
                    if (index.data().toString() == name)
                        return true;
                }
            }
            return false;
        },
        5000);
}

}  // namespace qzm_test
