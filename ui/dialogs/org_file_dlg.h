// The file dialog for album files: Qt's own dialog (the same on every platform), filtered to album
// files, starting where the previous album file was, with that file selected. The program's
// relative paths hang on the working folder, so the dialog puts it back when it goes.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace qzm {

class COrgFileDlg : public QFileDialog {
    Q_OBJECT

public:
    // forSaving: a save dialog that asks before overwriting, starting with the whole previous path;
    // otherwise an open dialog for an existing file, in the previous file's folder with that file
    // selected when it is there. A relative previous path is taken from the working folder.
    COrgFileDlg(bool forSaving, const QString& previousPath, QWidget* parent = nullptr);
    // Restores the working folder the dialog found.
    ~COrgFileDlg() override;

    // Name and extension of the file selected at the start ("" when none).
    const QString& InitialFileName() const { return initialName_; }

    // Qt name filters from a filter text of "label|patterns|" pairs ending in "|" (patterns separated
    // by ";"), for example "Album File(*.qzc)|*.qzc||".
    static QStringList NameFiltersFrom(const QString& pairs);

private:
    QString workingFolder_;
    QString initialName_;
};

// Lets the user choose an album file to save to or to open; previousPath is where the last one
// was. Returns the chosen absolute path, or "" when the user cancelled. The working folder is the
// same afterwards.
QString ChooseAlbumFile(bool forSaving, const QString& previousPath, QWidget* parent = nullptr);

// Lets the user choose a new file to save in (a PNG picture, a recording), starting in folder with
// fileName proposed, filtered to filter (for example "PNG image (*.png)"), suffix added when the
// name has none. Returns the chosen absolute path, or "" when the user cancelled.
QString ChooseNewFile(const QString& folder, const QString& fileName, const QString& filter,
                      const QString& suffix, QWidget* parent = nullptr);

// Lets the user choose an existing file (a recording to replay) filtered to filter, starting where
// previousPath is. Returns the chosen absolute path, or "" when the user cancelled.
QString ChooseExistingFile(const QString& previousPath, const QString& filter, QWidget* parent = nullptr);

}  // namespace qzm
