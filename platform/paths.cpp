#include "platform/paths.h"

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
