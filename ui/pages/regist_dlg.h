// The album page: "Open" and "Save" for album files, the live camera image, the user list and the
// strip of the selected user's faces. It raises its own requests and passes its panels' requests on
// to its owner, the main window, which carries them out and refreshes the panels.
#pragma once

#include <QFrame>
#include <QWidget>
#include <vector>

#include "ui/controls/state_bmp_button.h"
#include "ui/pages/reg_preview_dlg.h"
#include "ui/pages/reg_user_dlg.h"
#include "ui/pages/regist_img_page.h"

namespace qzm {

class CRegistDlg : public QWidget {
    Q_OBJECT

public:
    // albumCommands: the module has the album commands; without them "Open" and "Save" are
    // disabled.
    explicit CRegistDlg(bool albumCommands, int maxUsers = CRegUserDlg::kDefaultMaxUsers,
                        int maxData = CRegUserDlg::kDefaultMaxData, QWidget* parent = nullptr);

    void SetAlbumCommands(bool albumCommands);
    bool AlbumCommands() const { return albumCommands_; }

    // The user of the one selected row (-1: none or several), all selected users in list order, and
    // the data number of the selected face (-1: none).
    int SelectedUser() const { return users_->SelectedUser(); }
    std::vector<int> SelectedUsers() const { return users_->SelectedUsers(); }
    int SelectedDataNumber() const { return images_->SelectedDataNumber(); }

    CRegPreviewDlg& Preview() { return *preview_; }
    CRegUserDlg& UserPanel() { return *users_; }
    CRegistImgPage& ImagePage() { return *images_; }
    CStateBmpButton& OpenButton() { return *open_; }
    CStateBmpButton& SaveButton() { return *save_; }

signals:
    void OpenAlbumRequested();
    void SaveAlbumRequested();
    void AddUserRequested();
    void RenameUserRequested();
    void DeleteUsersRequested();
    void DeleteAllUsersRequested();
    void RegisterFaceRequested();
    void DeleteImageRequested();
    void DeleteAllImagesRequested();
    // Exactly one user is selected now: their faces are wanted (otherwise the page clears the faces
    // itself).
    void UserImagesWanted(int userId);

private:
    void OnSelectionChanged(int selectedRows);

    bool albumCommands_ = false;
    CStateBmpButton* open_ = nullptr;
    CStateBmpButton* save_ = nullptr;
    CRegPreviewDlg* preview_ = nullptr;
    CRegUserDlg* users_ = nullptr;
    QFrame* separator_ = nullptr;
    CRegistImgPage* images_ = nullptr;
};

}  // namespace qzm
