#include "dialogs/qtdialogservice.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Sets up the parts that the open and the save dialog share.
void prepare(QFileDialog& dialog, const DialogService::FileDialogOptions& options)
{
    dialog.setWindowTitle(options.caption);
    const QStringList filters = QtDialogService::toQtNameFilters(options.filter);
    if (!filters.isEmpty()) {
        // Our descriptions already name their patterns; Qt would repeat them.
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(filters);
    }
    if (!options.startFolder.isEmpty() && QFileInfo(options.startFolder).isDir())
        dialog.setDirectory(options.startFolder);
    if (!options.defaultExtension.isEmpty()) {
        QString suffix = options.defaultExtension;
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
    }
}

QStringList nativePaths(const QStringList& paths)
{
    QStringList result;
    result.reserve(paths.size());
    for (const QString& p : paths)
        result.append(QDir::toNativeSeparators(p));
    return result;
}

} // namespace

QStringList QtDialogService::toQtNameFilters(const QString& filter)
{
    QStringList result;
    if (filter.isEmpty())
        return result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        if (description.isEmpty() && i + 1 >= parts.size())
            continue; // a trailing "|"
        QStringList patterns;
        if (i + 1 < parts.size()) {
            const QStringList raw = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (const QString& r : raw) {
                const QString p = r.trimmed();
                if (p.isEmpty())
                    continue;
                for (const QString& variant : {p, p.toLower(), p.toUpper()}) {
                    if (!patterns.contains(variant))
                        patterns.append(variant);
                }
            }
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return result;
}

void QtDialogService::showMessage(const Message& message, QWidget* owner)
{
    QMessageBox box(toQtIcon(message.icon), message.caption, message.text, QMessageBox::Ok, owner);
    box.exec();
}

QStringList QtDialogService::getOpenFileNames(const FileDialogOptions& options, QWidget* owner)
{
    QFileDialog dialog(owner);
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return nativePaths(dialog.selectedFiles());
}

QString QtDialogService::getSaveFileName(const FileDialogOptions& options, QWidget* owner)
{
    QFileDialog dialog(owner);
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : QDir::toNativeSeparators(files.constFirst());
}

QString QtDialogService::browseFolder(const QString& caption, const QString& startFolder, QWidget* owner)
{
    QFileDialog dialog(owner, caption);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir())
        dialog.setDirectory(startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList dirs = dialog.selectedFiles();
    return dirs.isEmpty() ? QString() : QDir::toNativeSeparators(dirs.constFirst());
}

DialogService::Choice QtDialogService::ask(const QString& question, const QString& caption,
                                           const QList<Choice>& buttons, QWidget* owner)
{
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::NoButton, owner);
    QList<std::pair<QAbstractButton*, Choice>> made;
    for (Choice c : buttons) {
        // The two answers without a standard button have their own texts.
        if (c == Choice::SaveAs) {
            made.append({box.addButton(QStringLiteral("Save as\u2026"), QMessageBox::AcceptRole), c});
            continue;
        }
        if (c == Choice::SaveAnyway) {
            made.append({box.addButton(QStringLiteral("Save anyway"), QMessageBox::DestructiveRole), c});
            continue;
        }
        QMessageBox::StandardButton standard = QMessageBox::Cancel;
        switch (c) {
        case Choice::Save:
            standard = QMessageBox::Save;
            break;
        case Choice::Discard:
            standard = QMessageBox::Discard;
            break;
        case Choice::Cancel:
            standard = QMessageBox::Cancel;
            break;
        case Choice::Yes:
            standard = QMessageBox::Yes;
            break;
        case Choice::No:
            standard = QMessageBox::No;
            break;
        case Choice::SaveAs:
        case Choice::SaveAnyway:
            break;
        case Choice::Apply:
            standard = QMessageBox::Apply;
            break;
        }
        made.append({box.addButton(standard), c});
    }
    if (!made.isEmpty())
        box.setDefaultButton(static_cast<QPushButton*>(made.first().first));
    box.exec();
    for (const auto& [button, choice] : made) {
        if (box.clickedButton() == button)
            return choice;
    }
    return buttons.isEmpty() ? Choice::Cancel : buttons.last();
}
