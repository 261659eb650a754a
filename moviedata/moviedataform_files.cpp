#include "moviedata/moviedataform.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "moviedata/moviedatatexts.h"
#include "core/paths.h"

using namespace moviedatatexts;

QString TMovieDataForm::BrowseFolder(const QString& title, const QString& initialFolder)
{
    const QString chosen = m_dialogs.browseFolder(title, paths::withoutTrailingSeparator(initialFolder), this);
    if (chosen.isEmpty())
        return {};
    return paths::withTrailingSeparator(QDir::toNativeSeparators(chosen));
}

std::optional<TMovieDataForm::RelativeFile> TMovieDataForm::BrowseRelativeFile(const QString& caption,
                                                                               const QString& root,
                                                                               const QString& filter,
                                                                               bool multipleFiles,
                                                                               const QString& startBelow)
{
    DialogService::FileDialogOptions options;
    options.caption = caption; // each dialog says what it chooses
    options.filter = filter.isEmpty() ? kFilterAllFiles : filter + QLatin1Char('|') + kFilterAllFiles;
    const QString normalised = paths::normalisedRoot(root);
    // Without this the dialog would open in the process's current directory, wherever that is.
    const QString start = startBelow.isEmpty() ? QString() : paths::rootBelow(normalised, startBelow);
    options.startFolder = !start.isEmpty() && QFileInfo(start).isDir() ? start : normalised;
    options.multipleSelection = multipleFiles;
    const QStringList files = m_dialogs.getOpenFileNames(options, this);
    if (files.isEmpty())
        return std::nullopt;

    // Only the first file decides where the files lie; the others are taken by name, as they were all
    // chosen in the one folder the dialog showed.
    const std::optional<paths::RelativeFilePath> first =
        paths::relativeFile(normalised, QDir::toNativeSeparators(files.constFirst()));
    if (!first) {
        m_dialogs.showMessage({kFileOutsideRoot + normalised, kCaptionError, MessageIcon::Error}, this);
        return std::nullopt;
    }
    QStringList names;
    for (auto it = files.crbegin(); it != files.crend(); ++it)
        names << paths::fileNameOf(QDir::toNativeSeparators(*it));
    return RelativeFile{first->directory, names.join(QLatin1Char(' '))};
}

void TMovieDataForm::chooseDirectory(QLineEdit* field, const QString& title, const QString& outside)
{
    const QString base = edBaseDirectory->text();
    // The browser opens on the folder the field names when it is there, else on the base directory.
    const QString current = field->text().isEmpty() ? QString() : paths::rootBelow(base, field->text());
    const QString folder = BrowseFolder(title, !current.isEmpty() && QFileInfo(current).isDir() ? current : base);
    if (folder.isEmpty())
        return;
    const std::optional<QString> relative = paths::relativeFolder(base, folder);
    if (!relative) {
        m_dialogs.showMessage({outside + QLatin1Char(' ') + base, kCaptionError, MessageIcon::Error}, this);
        return;
    }
    field->setText(*relative);
}

void TMovieDataForm::bttBrowseBaseDirectoryClick()
{
    const QString folder = BrowseFolder(kSelectBaseDirectory, QString());
    if (folder.isEmpty())
        return;
    m_project.baseDirectory = folder;
    edBaseDirectory->setText(folder);
    // Relative paths of the project resolve against the base directory from now on.
    QDir::setCurrent(folder);
    setFieldBackground(edBaseDirectory, kRequiredFilled);
    emit baseDirectoryChosen(folder);
}
