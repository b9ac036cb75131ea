#include "ui/controls/spin_ctrl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/range_edit.h"

namespace qzm {

namespace {
constexpr int kArrowWidth = 16;
constexpr int kPageSteps = 10;
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 40;

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType type, const QString& name) {
    auto* arrow = new QToolButton(parent);
    arrow->setArrowType(type);
    arrow->setAutoRaise(true);
    arrow->setAutoRepeat(true);
    arrow->setAutoRepeatDelay(kRepeatDelayMs);
    arrow->setAutoRepeatInterval(kRepeatIntervalMs);
    // The edit keeps the focus, so typing goes on where it was.
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    arrow->setAccessibleName(name);
    return arrow;
}
}  // namespace

CSpinCtrl::CSpinCtrl(CRangeEdit& buddy) : QWidget(&buddy), buddy_(buddy) {
    const QString name = buddy.accessibleName();
    up_ = MakeArrow(this, Qt::UpArrow, name + QStringLiteral(" up"));
    down_ = MakeArrow(this, Qt::DownArrow, name + QStringLiteral(" down"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
    connect(&buddy_, &QLineEdit::textChanged, this, [this] { UpdateArrows(); });

    QMargins margins = buddy_.textMargins();
    margins.setRight(margins.right() + kArrowWidth);
    buddy_.setTextMargins(margins);
    buddy_.installEventFilter(this);
    Place();
    UpdateArrows();
}

void CSpinCtrl::StepBy(int steps) {
    const CRange& range = buddy_.Range();
    const long long value = static_cast<long long>(buddy_.GetValue()) + steps;
    buddy_.SetValue(static_cast<int>(std::clamp<long long>(value, range.min, range.max)));
}

bool CSpinCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &buddy_) {
        if (event->type() == QEvent::Resize) {
            Place();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const int steps = key == Qt::Key_Up         ? 1
                              : key == Qt::Key_Down     ? -1
                              : key == Qt::Key_PageUp   ? kPageSteps
                              : key == Qt::Key_PageDown ? -kPageSteps
                                                        : 0;
            if (steps != 0) {
                StepBy(steps);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSpinCtrl::Place() {
    const int frame = buddy_.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &buddy_);
    setGeometry(buddy_.width() - frame - kArrowWidth, frame, kArrowWidth, buddy_.height() - 2 * frame);
}

void CSpinCtrl::UpdateArrows() {
    // Text outside the range (a value not set yet, a number still being typed) can go either way.
    const CRange& range = buddy_.Range();
    const int value = buddy_.GetValue();
    const bool inRange = buddy_.InRange();
    up_->setEnabled(!inRange || value < range.max);
    down_->setEnabled(!inRange || value > range.min);
}

}  // namespace qzm
