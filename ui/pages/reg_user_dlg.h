// The album page's user list: one row per registered user with its number of registered faces, and
// the buttons that ask the main dialog to add, rename or delete users and to register a face. It
// only shows what it is given and raises requests; the main dialog carries them out and refreshes
// the list from the store afterwards.
#pragma once

#include <QWidget>
#include <vector>

#include "registration/reg_user_info_mngr.h"
#include "ui/controls/org_list_ctrl.h"
#include "ui/controls/state_bmp_button.h"

namespace qzm {

class CRegUserDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDefaultMaxUsers = 500;
    static constexpr int kDefaultMaxData = 10;

    // Starts empty with only "Add User" enabled, laid out for the given page height.
    explicit CRegUserDlg(int maxUsers = kDefaultMaxUsers, int maxData = kDefaultMaxData, int pageHeight = 368,
                         QWidget* parent = nullptr);

    // Brings the list in line with the store's users, in the store's order: new users at the end
    // are appended (the selection stays), fewer users rebuild the list, the same number rewrites
    // the rows that differ (a rename).
    void RefreshUsers(const std::vector<UserSummary>& users);
    // Shows a user's number of registered faces; "Register" follows it when that user is selected.
    void SetDataCount(int userId, int count);
    // Empties the list: only "Add User" stays enabled; raises SelectionChanged(0) so the
    // owner clears the registered images.
    void Reset();

    // The user of the one selected row; -1 when none or several rows are selected.
    int SelectedUser() const;
    // The users of all selected rows, in list order.
    std::vector<int> SelectedUsers() const;
    // The data count shown for a user; -1 when the user has no row.
    int DataCount(int userId) const;

    int MaxUsers() const { return maxUsers_; }
    int MaxData() const { return maxData_; }

    COrgListCtrl& List() { return *list_; }
    CStateBmpButton& AddUserButton() { return *addUser_; }
    CStateBmpButton& ChangeNameButton() { return *changeName_; }
    CStateBmpButton& DeleteUserButton() { return *deleteUser_; }
    CStateBmpButton& DeleteAllButton() { return *deleteAll_; }
    CStateBmpButton& RegisterButton() { return *register_; }

signals:
    void AddUserClicked();
    void ChangeNameClicked();
    void DeleteUserClicked();
    void DeleteAllClicked();
    void RegisterClicked();
    // On every change of the selection, with the number of selected rows.
    void SelectionChanged(int selectedRows);

private:
    void LayOut(int pageHeight);
    void SetRow(QTreeWidgetItem& row, const UserSummary& user);
    void UpdateListButtons();
    void OnSelectionChanged();
    QTreeWidgetItem* RowOf(int userId) const;

    const int maxUsers_;
    const int maxData_;
    COrgListCtrl* list_ = nullptr;
    CStateBmpButton* addUser_ = nullptr;
    CStateBmpButton* changeName_ = nullptr;
    CStateBmpButton* deleteUser_ = nullptr;
    CStateBmpButton* deleteAll_ = nullptr;
    CStateBmpButton* register_ = nullptr;
};

}  // namespace qzm
