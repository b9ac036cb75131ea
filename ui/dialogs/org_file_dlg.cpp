#include "ui/dialogs/org_file_dlg.h"

#include <QDir>
#include <QFileInfo>

#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
QString Chosen(COrgFileDlg& dialog) {
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}
}  // namespace

COrgFileDlg::COrgFileDlg(bool forSaving, const QString& previousPath, QWidget* parent)
    : QFileDialog(parent), workingFolder_(QDir::currentPath()) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setNameFilters(NameFiltersFrom(UiText(kStrAlbumFilter)));

    const QFileInfo previous(previousPath);
    setDirectory(QDir::cleanPath(previous.absolutePath()));
    // Qt's dialog selects the file in its list once the folder has been read.
    if (forSaving || previous.isFile()) {
        initialName_ = previous.fileName();
        selectFile(forSaving ? QDir::cleanPath(previous.absoluteFilePath()) : initialName_);
    }
}

COrgFileDlg::~COrgFileDlg() {
    QDir::setCurrent(workingFolder_);
}

QStringList COrgFileDlg::NameFiltersFrom(const QString& pairs) {
    QStringList filters;
    const QStringList parts = pairs.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        const QString& label = parts[i];
        const QString& patterns = parts[i + 1];
        // Qt reads the patterns from the parentheses at the end of a filter.
        const QString ending = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters << (label.endsWith(ending)
                        ? label
                        : label + QStringLiteral(" (") +
                              QString(patterns).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                              QLatin1Char(')'));
    }
    return filters;
}

QString ChooseAlbumFile(bool forSaving, const QString& previousPath, QWidget* parent) {
    COrgFileDlg dialog(forSaving, previousPath, parent);
    return Chosen(dialog);
}

QString ChooseNewFile(const QString& folder, const QString& fileName, const QString& filter,
                      const QString& suffix, QWidget* parent) {
    COrgFileDlg dialog(true, QDir(folder).filePath(fileName), parent);
    dialog.setNameFilters({filter});
    dialog.setDefaultSuffix(suffix);
    return Chosen(dialog);
}

QString ChooseExistingFile(const QString& previousPath, const QString& filter, QWidget* parent) {
    COrgFileDlg dialog(false, previousPath, parent);
    dialog.setNameFilters({filter});
    return Chosen(dialog);
}

}  // namespace qzm
