#include "ui/regist_dlg.h"

#include "ui/skins.h"
#include "ui/window_messages.h"

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
    connect(open_, &QAbstractButton::clicked, this, [this] { emit Request(WM_ALBUM_FILE, kAlbumOpen); });
    connect(save_, &QAbstractButton::clicked, this, [this] { emit Request(WM_ALBUM_FILE, kAlbumSave); });

    preview_ = new CRegPreviewDlg(this);
    users_ = new CRegUserDlg(maxUsers, maxData, CRegPreviewDlg::kHeight, this);
    separator_ = new QFrame(this);
    separator_->setFrameShape(QFrame::HLine);
    separator_->setFrameShadow(QFrame::Sunken);
    images_ = new CRegistImgPage(maxData, this);
    connect(users_, &CRegUserDlg::Request, this, &CRegistDlg::PassOn);
    connect(images_, &CRegistImgPage::Request, this, &CRegistDlg::PassOn);

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

void CRegistDlg::PassOn(int message, qintptr parameter) {
    if (message == WM_SHOW_USER_IMAGES && parameter != 1) {
        images_->Clear();
        return;
    }
    emit Request(message, parameter);
}

}  // namespace qzm
