#include "ui/app/album_flows.h"

#include <QFileInfo>
#include <algorithm>

#include "ui/app/execution_session.h"
#include "ui/dialogs/messenger.h"
#include "ui/dialogs/name_input_dlg.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/progress_dlg.h"
#include "ui/dialogs/wait_dlg.h"
#include "ui/pages/regist_dlg.h"

namespace qzm {

namespace {

UserSummary const* FindUser(const std::vector<UserSummary>& users, int id) {
    for (const UserSummary& user : users) {
        if (user.id == id)
            return &user;
    }
    return nullptr;
}

}  // namespace

CAlbumFlows::CAlbumFlows(const Parts& parts, QObject* parent)
    : QObject(parent),
      controller_(parts.controller),
      messenger_(parts.messenger),
      session_(parts.session),
      albumPage_(parts.albumPage),
      nameDialog_(parts.nameDialog),
      wait_(parts.wait),
      progress_(parts.progress),
      window_(parts.window) {}

bool CAlbumFlows::Extended() const {
    return controller_.Read().deviceType == kExtendedDevice;
}

void CAlbumFlows::StartupCheck() {
    while (Extended()) {
        // The module gets the album it held when the program last ended.
        const DeviceOutcome restored = RunWaiting(wait_, kStrRunning, [this] {
            DeviceOutcome outcome = controller_.GetVersionText(nullptr, nullptr);
            if (!outcome.ok()) {
                if (outcome.result != kProtocolOk)
                    outcome.response = DeviceOutcome::kNothingReceived;
                return outcome;
            }
            outcome = controller_.LoadAlbumBackup();
            if (outcome.ok())
                controller_.BackupRegistrations();
            return outcome;
        });
        if (restored.ok()) {
            InLine();
            break;
        }
        const UserMessage message = MessageFor(restored, DeviceOperation::kStartupRestore);
        if (messenger_.ShowUserMessage(message, MsgButtons::kYesNo) != MsgAnswer::kYes)
            break;
    }
    bool differ = false;
    const DeviceOutcome checked =
        RunWaiting(wait_, kStrRunning, [&] { return controller_.CheckRegistrations(&differ); });
    if (!checked.ok()) {
        if (!moduleInLine_)
            messenger_.ShowUserMessage(MessageFor(checked, DeviceOperation::kStartupCheck));
        return;
    }
    if (!differ) {
        InLine();
        return;
    }
    if (messenger_.ShowMessage(kStrMismatchQuestion, MsgIcon::kWarning, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome removed =
        RunWaiting(wait_, kStrPleaseWait, [this] { return controller_.RemoveAll(); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    if (removed.ok())
        InLine();  // both are empty
    RefreshUserLists();
}

void CAlbumFlows::BackupAtClose() {
    // Only a module brought in line with the PC in this run gives the backup the next start
    // restores: one that was never checked may hold anything (an empty album after a power cycle)
    // and would replace the registrations the backup keeps.
    if (Extended() && moduleInLine_) {
        // When the module's album cannot be read, the PC goes back to the registrations of this
        // start, which match the last backup.
        const DeviceOutcome saved =
            RunWaiting(wait_, kStrTerminating, [this] { return controller_.SaveAlbumBackup(); });
        if (!saved.ok()) {
            messenger_.ShowUserMessage(MessageFor(saved, DeviceOperation::kCloseBackup));
            RunWaiting(wait_, kStrTerminating, [this] { controller_.RestoreRegistrations(); });
        }
    }
    controller_.DiscardRegistrationBackup();
}

void CAlbumFlows::RefreshUserLists() {
    albumPage_.UserPanel().RefreshUsers(controller_.UserList());
    emit UserNamesChanged(controller_.UserNames());
}

bool CAlbumFlows::AskName(const std::string& proposed, int userId, std::string* name) {
    nameDialog_.SetText(QString::fromStdString(proposed), [this, userId](const QString& typed) {
        return controller_.IsNameUnique(typed.toStdString(), userId);
    });
    const bool accepted = nameDialog_.exec() == CNameInputDlg::kResultOk;
    if (accepted)
        *name = nameDialog_.Text().toStdString();
    return accepted;
}

void CAlbumFlows::AddUser() {
    std::string name;
    if (!AskName(controller_.MakeDefaultUserName(), -1, &name))
        return;
    if (controller_.AddNewUser(name) < 0) {
        messenger_.ShowMessage(kStrUserNotAdded, MsgIcon::kWarning, MsgButtons::kOk);
        return;
    }
    RefreshUserLists();
    albumPage_.ImagePage().Clear();
}

void CAlbumFlows::RenameUser() {
    const int id = albumPage_.SelectedUser();
    const std::vector<UserSummary> users = controller_.UserList();
    const UserSummary* user = FindUser(users, id);
    if (user == nullptr)
        return;
    std::string name;
    if (!AskName(user->name, id, &name))
        return;
    if (controller_.ChangeUserName(id, name) != 0) {
        messenger_.ShowMessage(kStrNameNotChanged, MsgIcon::kWarning, MsgButtons::kOk);
        return;
    }
    RefreshUserLists();
}

void CAlbumFlows::DeleteSelectedUsers() {
    const std::vector<int> selected = albumPage_.SelectedUsers();
    CExecutionSession::Pause paused(session_);
    if (messenger_.ShowMessage(kStrDeleteUsersQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    if (selected.empty())
        return;
    std::vector<DeviceOutcome> outcomes = RunWaiting(wait_, kStrPleaseWait, [&] {
        std::vector<DeviceOutcome> done;
        for (const int id : selected)
            done.push_back(controller_.RemoveUser(id));
        return done;
    });
    int removed = 0;
    for (const DeviceOutcome& outcome : outcomes) {
        if (outcome.ok())
            ++removed;
        else if (outcome.moduleChanged)
            messenger_.ShowUserMessage(MessageFor(outcome, DeviceOperation::kDeletion));
    }
    messenger_.ShowUserMessage(MessageForDeletions(removed, static_cast<int>(selected.size())));
    RefreshUserLists();
    albumPage_.ImagePage().Clear();
}

void CAlbumFlows::DeleteAllUsers() {
    CExecutionSession::Pause paused(session_);
    if (messenger_.ShowMessage(kStrDeleteAllUsersQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome removed =
        RunWaiting(wait_, kStrPleaseWait, [this] { return controller_.RemoveAll(); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    if (removed.ok()) {
        InLine();  // both are empty
        albumPage_.UserPanel().Reset();
    }
    RefreshUserLists();
}

void CAlbumFlows::RegisterFace() {
    const int id = albumPage_.SelectedUser();
    if (id < 0)
        return;
    CExecutionSession::Pause paused(session_);
    const DeviceOutcome registered =
        RunWaiting(wait_, kStrPleaseWait, [this, id] { return controller_.RegisterFace(id); });
    if (registered.result == kProtocolOk && registered.response == 0)
        ShowUserImages(id);
    messenger_.ShowUserMessage(MessageFor(registered, DeviceOperation::kRegistration));
}

void CAlbumFlows::ShowUserImages(int userId) {
    if (userId < 0) {
        albumPage_.ImagePage().Clear();
        return;
    }
    const auto images = controller_.LoadUserImages(userId);
    albumPage_.ImagePage().ShowImages(images);
    albumPage_.UserPanel().SetDataCount(userId, albumPage_.ImagePage().ShownCount());
    const auto unreadable = std::count_if(images.begin(), images.end(), [](const auto& slot) {
        return slot.dataNumber != -1 && !slot.readable;
    });
    if (unreadable > 0) {
        CUserInfo user;
        controller_.FetchUserInfo(userId, &user);
        messenger_.ShowMessage(kStrFacesUnreadable, MsgIcon::kWarning, MsgButtons::kOk,
                               static_cast<int>(unreadable), user.Name());
    }
}

void CAlbumFlows::DeleteSelectedImage() {
    DeleteImages(false);
}

void CAlbumFlows::DeleteAllImages() {
    DeleteImages(true);
}

void CAlbumFlows::DeleteImages(bool all) {
    const int id = albumPage_.SelectedUser();
    if (id < 0)
        return;
    const int dataNumber = all ? -1 : albumPage_.SelectedDataNumber();
    CExecutionSession::Pause paused(session_);
    const int question = all ? kStrDeleteAllImagesQuestion : kStrDeleteImageQuestion;
    if (messenger_.ShowMessage(question, MsgIcon::kQuestion, MsgButtons::kYesNo) != MsgAnswer::kYes)
        return;
    const DeviceOutcome removed = RunWaiting(
        wait_, kStrPleaseWait, [this, id, dataNumber] { return controller_.RemoveData(id, dataNumber); });
    messenger_.ShowUserMessage(MessageFor(removed, DeviceOperation::kDeletion));
    ShowUserImages(id);
}

std::string CAlbumFlows::ChooseFile(bool forSaving) {
    const CSettingsStore& settings = controller_.Settings();
    const QString path =
        ChooseAlbumFile(forSaving, QString::fromStdString(settings.ReadPrevSelectFile()), window_);
    if (!path.isEmpty())
        settings.WritePrevSelectFile(path.toStdString());
    return path.toStdString();
}

void CAlbumFlows::SaveAlbum() {
    CExecutionSession::Pause paused(session_);
    const std::string path = ChooseFile(true);
    if (!path.empty())
        RunAlbumJob(false, path);
}

void CAlbumFlows::OpenAlbum() {
    CExecutionSession::Pause paused(session_);
    const MsgAnswer saveFirst =
        messenger_.ShowMessage(kStrSaveAlbumQuestion, MsgIcon::kQuestion, MsgButtons::kYesNoCancel);
    if (saveFirst == MsgAnswer::kCancel)
        return;
    if (saveFirst == MsgAnswer::kYes) {
        // Nothing is opened over the album the user asked to keep unless it was saved.
        const std::string path = ChooseFile(true);
        if (path.empty() || !RunAlbumJob(false, path).ok())
            return;
    }
    const std::string path = ChooseFile(false);
    if (!path.empty())
        RunAlbumJob(true, path);
}

DeviceOutcome CAlbumFlows::RunAlbumJob(bool load, const std::string& path) {
    const QString fileName = QFileInfo(QString::fromStdString(path)).fileName();
    const DeviceOutcome outcome = RunProgress(
        progress_, load ? kStrLoading : kStrSaving, fileName,
        [this] { return controller_.GetAlbumProgress(); },
        [this, load, path] {
            return load ? controller_.LoadAlbumFromFile(path) : controller_.SaveAlbumToFile(path);
        });
    if (outcome.ok())
        progress_.SetPos(100);
    const std::string fullPath = QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    if (load && outcome.ok()) {
        InLine();  // both hold the file's registrations
        albumPage_.UserPanel().Reset();
        RefreshUserLists();
        albumPage_.ImagePage().Clear();
    }
    messenger_.ShowUserMessage(
        MessageFor(outcome, load ? DeviceOperation::kAlbumLoad : DeviceOperation::kAlbumSave, fullPath));
    return outcome;
}

void CAlbumFlows::DeleteAllData() {
    if (messenger_.ShowMessage(kStrDeleteAllDataQuestion, MsgIcon::kQuestion, MsgButtons::kYesNo) !=
        MsgAnswer::kYes)
        return;
    const DeviceOutcome cleared =
        RunWaiting(wait_, kStrPleaseWait, [this] { return controller_.ClearAllData(); });
    messenger_.ShowUserMessage(MessageFor(cleared, DeviceOperation::kDeletion));
    if (cleared.ok())
        InLine();  // both are empty
    // The PC's registrations are gone whatever the module answered.
    albumPage_.UserPanel().Reset();
    RefreshUserLists();
}

}  // namespace qzm
