#include "ui/pages/regist_dlg.h"

#include "ui/controls/skins.h"

namespace qzm {

namespace {
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kGap = 8;
constexpr int kPanelsTop = 40;
}  // namespace

CRegistDlg::CRegistDlg(bool albumCommands, int maxUsers, int maxData, QWidget* parent) : QWidget(parent) {
    open_ = new CStateBmpButton(QStringLiteral("Open"), this);
    save_ = new CStateBmpButton(QStringLiteral("Save"), this);
    for (CStateBmpButton* button : {open_, save_}) {
        ApplySkin(*button, SkinKind::kButton);
    }
    connect(open_, &QAbstractButton::clicked, this, &CRegistDlg::OpenAlbumRequested);
    connect(save_, &QAbstractButton::clicked, this, &CRegistDlg::SaveAlbumRequested);

    preview_ = new CRegPreviewDlg(this);
    users_ = new CRegUserDlg(maxUsers, maxData, CRegPreviewDlg::kHeight, this);
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::HLine);
    separator_->setFrameShadow(QFrame::Sunken);
    images_ = new CRegistImgPage(maxData, this);
    connect(users_, &CRegUserDlg::AddUserClicked, this, &CRegistDlg::AddUserRequested);
    connect(users_, &CRegUserDlg::ChangeNameClicked, this, &CRegistDlg::RenameUserRequested);
    connect(users_, &CRegUserDlg::DeleteUserClicked, this, &CRegistDlg::DeleteUsersRequested);
    connect(users_, &CRegUserDlg::DeleteAllClicked, this, &CRegistDlg::DeleteAllUsersRequested);
    connect(users_, &CRegUserDlg::RegisterClicked, this, &CRegistDlg::RegisterFaceRequested);
    connect(users_, &CRegUserDlg::SelectionChanged, this, &CRegistDlg::OnSelectionChanged);
    connect(images_, &CRegistImgPage::DeleteClicked, this, &CRegistDlg::DeleteImageRequested);
    connect(images_, &CRegistImgPage::DeleteAllClicked, this, &CRegistDlg::DeleteAllImagesRequested);

    // "Open" and "Save" along the top; the preview and the user list side by side, equally high;
    // under a separator the faces, as wide as both.
    open_->setGeometry(24, kGap, kButtonWidth, kButtonHeight);
    save_->setGeometry(open_->geometry().right() + 1 + kGap, kGap, kButtonWidth, kButtonHeight);
    preview_->move(kGap, kPanelsTop);
    users_->move(preview_->geometry().right() + 1, kPanelsTop);
    const int left = preview_->x();
    const int right = users_->geometry().right() + 1;
    const int separatorY = kPanelsTop + preview_->height() + kGap / 2;
    separator_->setGeometry(left, separatorY, right - left, 2);
    images_->setGeometry(left, separatorY + 2 + kGap, right - left, images_->height());
    setFixedSize(right + kGap, images_->geometry().bottom() + 1 + kGap);

    SetAlbumCommands(albumCommands);
}

void CRegistDlg::SetAlbumCommands(bool albumCommands) {
    albumCommands_ = albumCommands;
    open_->setEnabled(albumCommands);
    save_->setEnabled(albumCommands);
}

void CRegistDlg::OnSelectionChanged(int selectedRows) {
    if (selectedRows != 1) {
        images_->Clear();
        return;
    }
    emit UserImagesWanted(users_->SelectedUser());
}

}  // namespace qzm
