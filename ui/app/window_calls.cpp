#include "ui/app/window_calls.h"

#include <QMetaObject>

namespace qzm {

void CWindowCalls::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(call));
    }
    // Queued by name: Qt builds the queued call itself, so nothing of ours made on this thread is
    // read by the window thread without the lock above.
    QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
}

void CWindowCalls::RunPending() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty())
                return;
            call = std::move(pending_.front());
            pending_.pop_front();
        }
        call();
    }
}

}  // namespace qzm
