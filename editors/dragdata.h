#pragma once

#include <QByteArray>

#include <functional>

class QEvent;
class QMimeData;
class QObject;

// Drags inside the program carry a MIME type of its own and a token naming the widget and the process
// they started from. A list accepts a drag only from the one source it expects: a drag with the same
// type from another copy of the program, or from any other widget, carries another token and is
// refused. (QDropEvent::source() would tell the widget too, but only while Qt's own drag loop runs,
// and it names nothing for a drag from another process.)
namespace dragdata {

// A new action from the action maker's "drag & drop" panel.
inline constexpr char kActionMime[] = "application/x-vazovevoz-new-action";
// A row of the page list, dragged to reorder the pages.
inline constexpr char kPageRowMime[] = "application/x-vazovevoz-page-row";

// The drag's data, owned by the caller (a QDrag takes it over).
QMimeData* make(const char* mimeType, const QObject* source);
// Whether `data` was made by make() with the same type and source in this process.
bool isFrom(const QMimeData* data, const char* mimeType, const QObject* source);

// Answers a drag entering or moving over a list that takes copies, and a drop on it: accepted as a
// copy while `accepts` holds for the drag's data, refused otherwise; an accepted drop runs `dropped`.
// Returns whether `event` was a drag or drop event at all.
bool answerCopyDrag(QEvent* event, const std::function<bool(const QMimeData*)>& accepts,
                    const std::function<void(const QMimeData*)>& dropped);

} // namespace dragdata
