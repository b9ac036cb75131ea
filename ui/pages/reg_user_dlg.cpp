#include "ui/pages/reg_user_dlg.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "ui/controls/skins.h"
#include "ui/controls/ui_text.h"

namespace qzm {

namespace {

constexpr int kMargin = 16;
constexpr int kTop = 8;
constexpr int kGap = 8;
constexpr int kButtonHeight = 24;
constexpr int kMinButtonWidth = 96;
constexpr int kNameWidth = 120;
constexpr int kCountWidth = 96;
constexpr int kIdRole = Qt::UserRole;
constexpr int kCountRole = Qt::UserRole;

CStateBmpButton* MakeButton(const char* caption, QWidget* parent) {
    auto* button = new CStateBmpButton(QString::fromLatin1(caption), parent);
    ApplySkin(*button, SkinKind::kButton);
    return button;
}

}  // namespace

CRegUserDlg::CRegUserDlg(int maxUsers, int maxData, int pageHeight, QWidget* parent)
    : QWidget(parent), maxUsers_(maxUsers), maxData_(maxData) {
    list_ = new COrgListCtrl(this);
    list_->setAccessibleName(QStringLiteral("Users"));
    list_->SetColumns({{UiText(kStrColumnName), kNameWidth}, {UiText(kStrColumnDataNumber), kCountWidth}});
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    addUser_ = MakeButton("Add User", this);
    changeName_ = MakeButton("Change Name", this);
    deleteUser_ = MakeButton("Delete User", this);
    deleteAll_ = MakeButton("Delete All", this);
    register_ = MakeButton("Register", this);

    connect(addUser_, &QAbstractButton::clicked, this, &CRegUserDlg::AddUserClicked);
    connect(changeName_, &QAbstractButton::clicked, this, &CRegUserDlg::ChangeNameClicked);
    connect(deleteUser_, &QAbstractButton::clicked, this, &CRegUserDlg::DeleteUserClicked);
    connect(deleteAll_, &QAbstractButton::clicked, this, &CRegUserDlg::DeleteAllClicked);
    connect(register_, &QAbstractButton::clicked, this, &CRegUserDlg::RegisterClicked);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CRegUserDlg::OnSelectionChanged);

    LayOut(pageHeight);
    UpdateListButtons();
}

void CRegUserDlg::LayOut(int pageHeight) {
    // A measuring row of the widest letter gives the height every row takes in the list's font.
    list_->addTopLevelItem(new QTreeWidgetItem({QString(16, QLatin1Char('W')), QStringLiteral("10")}));
    const int rowHeight = std::max(1, list_->sizeHintForRow(0));
    delete list_->takeTopLevelItem(0);

    const int frame = 2 * list_->frameWidth();
    const int width = list_->header()->length() +
                      list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_) + frame;
    // As many whole rows as fit above "Register", so the last row shown is never cut.
    const int chrome = list_->header()->sizeHint().height() + frame;
    const int room = pageHeight - kTop - kGap - kButtonHeight - kGap - chrome;
    const int height = chrome + std::max(1, room / rowHeight) * rowHeight;
    list_->setGeometry(kMargin, kTop, width, height);

    const QFontMetrics metrics(font());
    int buttonWidth = kMinButtonWidth;
    for (const CStateBmpButton* button : {addUser_, changeName_, deleteUser_, deleteAll_, register_}) {
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(button->text()) + 24);
    }
    const int buttonsX = kMargin + width + kGap;
    int y = kTop;
    for (CStateBmpButton* button : {addUser_, changeName_, deleteUser_, deleteAll_}) {
        button->setGeometry(buttonsX, y, buttonWidth, kButtonHeight);
        y += kButtonHeight + kGap;
    }
    register_->setGeometry(kMargin + (width - buttonWidth) / 2, kTop + height + kGap, buttonWidth,
                           kButtonHeight);
    setFixedSize(buttonsX + buttonWidth + kMargin,
                 std::max(pageHeight, register_->geometry().bottom() + 1 + kGap));
}

void CRegUserDlg::SetRow(QTreeWidgetItem& row, const UserSummary& user) {
    const QString name = QString::fromStdString(user.name);
    if (row.text(0) != name) {
        row.setText(0, name);
    }
    if (row.data(0, kIdRole) != QVariant(user.id)) {
        row.setData(0, kIdRole, user.id);
    }
    if (row.data(1, kCountRole) != QVariant(user.dataCount)) {
        row.setData(1, kCountRole, user.dataCount);
        row.setText(1, QString::number(user.dataCount));
    }
}

void CRegUserDlg::RefreshUsers(const std::vector<UserSummary>& users) {
    const int rows = list_->topLevelItemCount();
    const int count = static_cast<int>(users.size());
    if (count > rows) {
        for (int i = rows; i < count; ++i) {
            auto* row = new QTreeWidgetItem;
            SetRow(*row, users[i]);
            list_->addTopLevelItem(row);
        }
    } else if (count < rows) {
        const bool hadSelection = !list_->selectedItems().isEmpty();
        {
            const QSignalBlocker quiet(list_->selectionModel());
            list_->clear();
            for (const UserSummary& user : users) {
                auto* row = new QTreeWidgetItem;
                SetRow(*row, user);
                list_->addTopLevelItem(row);
            }
        }
        if (hadSelection) {
            OnSelectionChanged();
        }
    } else {
        for (int i = 0; i < count; ++i) {
            SetRow(*list_->topLevelItem(i), users[i]);
        }
        if (SelectedUser() >= 0) {
            // A rewritten row may have another data count than before.
            register_->setEnabled(DataCount(SelectedUser()) < maxData_);
        }
    }
    UpdateListButtons();
}

void CRegUserDlg::SetDataCount(int userId, int count) {
    QTreeWidgetItem* row = RowOf(userId);
    if (row == nullptr) {
        return;
    }
    row->setData(1, kCountRole, count);
    row->setText(1, QString::number(count));
    if (SelectedUser() == userId) {
        register_->setEnabled(count < maxData_);
    }
}

void CRegUserDlg::Reset() {
    {
        const QSignalBlocker quiet(list_->selectionModel());
        list_->clear();
    }
    for (CStateBmpButton* button : {changeName_, deleteUser_, deleteAll_, register_}) {
        button->setEnabled(false);
    }
    addUser_->setEnabled(true);
    emit SelectionChanged(0);
}

void CRegUserDlg::UpdateListButtons() {
    const int rows = list_->topLevelItemCount();
    if (rows > 0) {
        deleteAll_->setEnabled(true);
        addUser_->setEnabled(rows < maxUsers_);
        return;
    }
    addUser_->setEnabled(true);
    for (CStateBmpButton* button : {changeName_, deleteUser_, deleteAll_, register_}) {
        button->setEnabled(false);
    }
}

void CRegUserDlg::OnSelectionChanged() {
    const int selected = static_cast<int>(list_->selectedItems().size());
    if (selected == 0) {
        list_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    deleteUser_->setEnabled(selected > 0);
    changeName_->setEnabled(selected == 1);
    // Nobody to register for without exactly one selected user, nor room once the user is full.
    register_->setEnabled(selected == 1 && DataCount(SelectedUser()) < maxData_);
    emit SelectionChanged(selected);
}

QTreeWidgetItem* CRegUserDlg::RowOf(int userId) const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        if (row->data(0, kIdRole).toInt() == userId) {
            return row;
        }
    }
    return nullptr;
}

int CRegUserDlg::SelectedUser() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.size() == 1 ? selected.front()->data(0, kIdRole).toInt() : -1;
}

std::vector<int> CRegUserDlg::SelectedUsers() const {
    std::vector<int> users;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list_->topLevelItem(i);
        if (row->isSelected()) {
            users.push_back(row->data(0, kIdRole).toInt());
        }
    }
    return users;
}

int CRegUserDlg::DataCount(int userId) const {
    const QTreeWidgetItem* row = RowOf(userId);
    return row != nullptr ? row->data(1, kCountRole).toInt() : -1;
}

}  // namespace qzm
