#include "editors/dragdata.h"

#include <QCoreApplication>
#include <QMimeData>

namespace dragdata {
namespace {

QByteArray token(const QObject* source)
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ':'
           + QByteArray::number(reinterpret_cast<quintptr>(source), 16);
}

} // namespace

QMimeData* make(const char* mimeType, const QObject* source)
{
    auto* data = new QMimeData; // handed to the caller
    data->setData(QString::fromLatin1(mimeType), token(source));
    return data;
}

bool isFrom(const QMimeData* data, const char* mimeType, const QObject* source)
{
    const QString type = QString::fromLatin1(mimeType);
    return data && source && data->hasFormat(type) && data->data(type) == token(source);
}

} // namespace dragdata
