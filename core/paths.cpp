#include "core/paths.h"

#include <QDir>
#include <QFileInfo>

namespace paths {

QChar nativeSeparator()
{
    return QDir::separator();
}

QString directoryOf(const QString& filePath)
{
    QString dir = QDir::toNativeSeparators(QFileInfo(filePath).absolutePath());
    if (!dir.endsWith(nativeSeparator()))
        dir += nativeSeparator();
    return dir;
}

QString toFileForm(const QString& nativeRelative)
{
    QString s = nativeRelative;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return s;
}

QString fromFileForm(const QString& fileRelative)
{
    QString s = fileRelative;
    s.replace(QLatin1Char('\\'), nativeSeparator());
    s.replace(QLatin1Char('/'), nativeSeparator());
    return s;
}

QString resolve(const QString& base, const QString& fileRelativeDir, const QString& name)
{
    QString out = base;
    if (!out.isEmpty() && !out.endsWith(nativeSeparator()))
        out += nativeSeparator();
    const QString dir = fromFileForm(fileRelativeDir);
    if (!dir.isEmpty() && dir != QLatin1String(".")) {
        out += dir;
        if (!out.endsWith(nativeSeparator()))
            out += nativeSeparator();
    }
    return out + name;
}

} // namespace paths

namespace paths {

QString withTrailingSeparator(const QString& path)
{
    if (path.isEmpty() || path.endsWith(nativeSeparator()))
        return path;
    return path + nativeSeparator();
}

QString withoutTrailingSeparator(const QString& path)
{
    QString out = path;
    if (out.size() > 1 && out.endsWith(nativeSeparator()))
        out.chop(1);
    return out;
}

QString normalisedRoot(const QString& root)
{
    if (root.isEmpty())
        return {};
    QString out = withTrailingSeparator(root);
    const QString sep = QString(nativeSeparator());
    const QString nativeDot = sep + QLatin1Char('.') + sep;
    const QString fileDot = QStringLiteral("\\.\\");
    // Folding one occurrence can make the next ("/././" -> "/./"), so repeat until none is left.
    while (out.contains(nativeDot) || out.contains(fileDot)) {
        out.replace(nativeDot, sep);
        out.replace(fileDot, QStringLiteral("\\"));
    }
    return out;
}

QString rootBelow(const QString& base, const QString& fileRelativeDir)
{
    if (base.isEmpty())
        return {};
    return normalisedRoot(withTrailingSeparator(base) + fromFileForm(fileRelativeDir));
}

bool isBelow(const QString& path, const QString& root)
{
    return !root.isEmpty() && path.startsWith(root, Qt::CaseSensitive);
}

static QString cleanNative(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(path)));
}

std::optional<RelativeFilePath> relativeFile(const QString& root, const QString& filePath)
{
    const QString path = cleanNative(filePath);
    if (!isBelow(path, root))
        return std::nullopt;
    const QString rel = path.mid(root.size());
    const qsizetype last = rel.lastIndexOf(nativeSeparator());
    RelativeFilePath out;
    out.directory = last < 0 ? QStringLiteral(".") : toFileForm(rel.left(last));
    out.fileName = rel.mid(last + 1);
    return out;
}

std::optional<QString> relativeFolder(const QString& base, const QString& folder)
{
    const QString cleaned = withTrailingSeparator(cleanNative(folder));
    if (!cleaned.startsWith(base, Qt::CaseSensitive))
        return std::nullopt;
    const QString stripped = withoutTrailingSeparator(cleaned);
    if (base.isEmpty())
        return stripped;
    const QString rel = stripped.mid(base.size());
    return rel.isEmpty() ? QStringLiteral(".") : toFileForm(rel);
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(nativeSeparator()) + 1);
}

} // namespace paths
