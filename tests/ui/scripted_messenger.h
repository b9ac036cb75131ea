// Stands in for the message boxes in window tests: records every message and answers from a
// script. A message with no scripted answer left is answered with its first button and counted,
// so a test can insist that every question was foreseen.
#pragma once

#include <deque>
#include <initializer_list>
#include <vector>

#include "ui/dialogs/messenger.h"

class CScriptedMessenger : public qzm::CMessenger {
public:
    struct Message {
        int id;
        QString text;
        qzm::MsgIcon icon;
        qzm::MsgButtons buttons;
    };

    void Script(std::initializer_list<qzm::MsgAnswer> answers) { script_.insert(script_.end(), answers); }
    const std::vector<Message>& Messages() const { return messages_; }
    int Unscripted() const { return unscripted_; }

protected:
    qzm::MsgAnswer Show(int id, const QString& text, qzm::MsgIcon icon, qzm::MsgButtons buttons) override {
        messages_.push_back({id, text, icon, buttons});
        if (script_.empty()) {
            ++unscripted_;
            const bool yesFirst =
                buttons == qzm::MsgButtons::kYesNo || buttons == qzm::MsgButtons::kYesNoCancel;
            return yesFirst ? qzm::MsgAnswer::kYes : qzm::MsgAnswer::kOk;
        }
        const qzm::MsgAnswer answer = script_.front();
        script_.pop_front();
        return answer;
    }

private:
    std::deque<qzm::MsgAnswer> script_;
    std::vector<Message> messages_;
    int unscripted_ = 0;
};
