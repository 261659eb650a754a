#include "moviedata/moviedataform.h"

#include <QDir>
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
                                                                               bool multipleFiles)
{
    DialogService::FileDialogOptions options;
    options.caption = caption; // each dialog says what it chooses
    options.filter = filter.isEmpty() ? kFilterAllFiles : filter + QLatin1Char('|') + kFilterAllFiles;
    const QString normalised = paths::normalisedRoot(root);
    options.startFolder = normalised;
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
