// The user's requests about registrations, carried out with the controller: users added, renamed
// and deleted, faces registered and deleted, album files opened and saved, all data deleted, and
// the check of the module's registrations at start-up with the album backup at close. Device work
// runs behind the wait or progress dialog; each flow ends with the message that says how it went
// and the album page showing the store as it is now.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "core/demo_controller.h"

namespace qzm {

class CExecutionSession;
class CMessenger;
class CNameInputDlg;
class CProgressDlg;
class CRegistDlg;
class CWaitDlg;

class CAlbumFlows : public QObject {
    Q_OBJECT

public:
    // Every object given outlives the flows; window is the parent of the file dialogs.
    struct Parts {
        CDemoController& controller;
        CMessenger& messenger;
        CExecutionSession& session;
        CRegistDlg& albumPage;
        CNameInputDlg& nameDialog;
        CWaitDlg& wait;
        CProgressDlg& progress;
        QWidget* window;
    };
    explicit CAlbumFlows(const Parts& parts, QObject* parent = nullptr);

    // At start-up, once connected: the module gets the album backup back (extended modules), then
    // its registrations are compared with the PC's, and on a mismatch the user may delete both.
    void StartupCheck();
    // At close: the module's album becomes the backup the next start restores, but only when the
    // module was brought in line with the PC in this run.
    void BackupAtClose();

    void RefreshUserLists();
    void AddUser();
    void RenameUser();
    void DeleteSelectedUsers();
    void DeleteAllUsers();
    void RegisterFace();
    void ShowUserImages(int userId);
    void DeleteSelectedImage();
    void DeleteAllImages();
    void OpenAlbum();
    void SaveAlbum();
    void DeleteAllData();

signals:
    // The registered users changed: their names for the pages that show recognition results.
    void UserNamesChanged(const std::vector<UserName>& names);

private:
    bool Extended() const;
    bool AskName(const std::string& proposed, int userId, std::string* name);
    // The selected face, or all of the selected user's faces.
    void DeleteImages(bool all);
    // The album file the user chooses, remembered for the next time; "" when cancelled.
    std::string ChooseFile(bool forSaving);
    DeviceOutcome RunAlbumJob(bool load, const std::string& path);
    // Module and PC hold the same registrations from now on (both empty, or both the file's).
    void InLine() { moduleInLine_ = true; }

    CDemoController& controller_;
    CMessenger& messenger_;
    CExecutionSession& session_;
    CRegistDlg& albumPage_;
    CNameInputDlg& nameDialog_;
    CWaitDlg& wait_;
    CProgressDlg& progress_;
    QWidget* window_;
    // The module was brought in line with the PC's registrations in this run (the start-up check,
    // or an action that set both alike): only then does closing replace the album backup.
    bool moduleInLine_ = false;
};

}  // namespace qzm
