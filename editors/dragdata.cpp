#include "editors/dragdata.h"

#include <QDropEvent>

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

bool answerCopyDrag(QEvent* event, const std::function<bool(const QMimeData*)>& accepts,
                    const std::function<void(const QMimeData*)>& dropped)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event); // a drag move is a drop event not yet let go
        if (!accepts(drop->mimeData())) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            dropped(drop->mimeData());
        return true;
    }
    default:
        return false;
    }
}

} // namespace dragdata
