// Working on several rectangles of the picture at once: picking them (Ctrl+click, Shift-drag, Select
// all), moving, nudging, deleting and moving them to another page together, lining them up (the
// Arrange menu), snapping to the lines of the other rectangles and of the picture, copy and paste
// through the clipboard, and the remote control's order drawn over the picture.
//
// One rectangle picked is the current rectangle with its anchors, exactly as before; several picked
// are kept here, the first of them also being the current rectangle, each drawn with a solid outline.
#include "workspace/mainform.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "document/actiontypes.h"
#include "document/areatext.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "player/playermodel.h"
#include "workspace/rshape.h"

namespace {

namespace text {
const QString kArrange = QStringLiteral("&Arrange");
const QString kView = QStringLiteral("&View");
const QString kSelectAll = QStringLiteral("Select &all\tCtrl+A");
const QString kCopy = QStringLiteral("&Copy rectangles\tCtrl+C");
const QString kCut = QStringLiteral("Cu&t rectangles\tCtrl+X");
const QString kPaste = QStringLiteral("&Paste rectangles\tCtrl+V");
const QString kDuplicate = QStringLiteral("&Duplicate rectangles\tCtrl+D");
const QString kSnap = QStringLiteral("Snap to guides");
const QString kShowRemoteOrder = QStringLiteral("Show remote order");
const QString kMoveRectangles = QStringLiteral("Move rectangles");
const QString kNudgeRectangles = QStringLiteral("Nudge rectangles");
const QString kDeleteRectangles = QStringLiteral("Delete rectangles");
const QString kCutRectangles = QStringLiteral("Cut rectangles");
const QString kPasteRectangles = QStringLiteral("Paste rectangles");
const QString kDuplicateRectangles = QStringLiteral("Duplicate rectangles");
const QString kMoveRectanglesToPage = QStringLiteral("Move rectangles to page");
const QString kSelectionPrefix = QStringLiteral("Selection-");
const QString kSnapKey = QStringLiteral("SnapToGuides");
const QString kRemoteOrderKey = QStringLiteral("ShowRemoteOrder");
} // namespace text

constexpr int kPasteOffset = 10; // a pasted rectangle whose place is taken moves by this much
constexpr qint64 kReadoutIntervalMs = 40; // the position readout changes at most this often

// The remote control's order over the picture: each rectangle's place in the order at its top-left
// corner, the default selection's in orange and framed. It lies over the picture and lets every
// click through.
class RemoteOrderOverlay : public QWidget
{
public:
    explicit RemoteOrderOverlay(QWidget* container) : QWidget(container)
    {
        setObjectName(QStringLiteral("RemoteOrderOverlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    struct Mark
    {
        QPointer<RShape> shape;
        int number;
        bool isDefault;
    };
    QList<Mark> marks;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(11);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        for (const Mark& m : std::as_const(marks)) {
            if (!m.shape || m.number <= 0)
                continue;
            const QRect r = m.shape->viewBounds().translated(-pos());
            const QColor fill = m.isDefault ? QColor(255, 140, 0) : QColor(20, 60, 200);
            if (m.isDefault) {
                painter.setPen(QPen(fill, 2));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r.adjusted(1, 1, -1, -1));
            }
            const QString label = QString::number(m.number);
            const QRect badge(r.topLeft() + QPoint(2, 2),
                              QSize(qMax(14, metrics.horizontalAdvance(label) + 6), metrics.height() + 2));
            painter.setPen(Qt::white);
            painter.setBrush(fill);
            painter.drawRect(badge.adjusted(0, 0, -1, -1));
            painter.drawText(badge, Qt::AlignCenter, label);
        }
    }
};

// What the clipboard carries for one rectangle.
struct CopiedSelection
{
    QString name;
    QString area;
    std::vector<std::pair<int, QString>> actions;
};

// The rectangles in the menu file's own block layout. The program's own copy keeps the action codes
// as they are in memory (a relative jump stays one); the plain text is what the file would hold.
QString blockText(const QList<Selection*>& selections, bool fileCodes)
{
    QString out;
    int n = 0;
    for (const Selection* s : selections) {
        ++n;
        QStringList codes;
        QStringList parameters;
        for (const auto& a : s->actions) {
            codes << QString::number(fileCodes ? actionFileCode(a->type) : a->type);
            parameters << a->parameter;
        }
        out += QStringLiteral("\t[SELECTION=%1]\t\t;%2\r\n").arg(n).arg(s->name);
        out += QStringLiteral("\t\tArea=%1\r\n").arg(s->area);
        out += QStringLiteral("\t\tAction=%1\r\n").arg(codes.join(QLatin1Char('#')));
        out += QStringLiteral("\t\tParameter=%1\r\n").arg(parameters.join(QLatin1Char('#')));
    }
    return out;
}

std::vector<CopiedSelection> readBlockText(const QString& text)
{
    std::vector<CopiedSelection> out;
    QStringList codes;
    auto finish = [&](const QStringList& parameters) {
        if (out.empty())
            return;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            bool ok = false;
            const int code = codes[i].toInt(&ok);
            if (ok)
                out.back().actions.emplace_back(code, parameters.value(i));
        }
        codes.clear();
    };
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("[SELECTION="))) {
            CopiedSelection s;
            s.name = line.section(QLatin1Char(';'), 1);
            out.push_back(std::move(s));
        } else if (out.empty()) {
            continue;
        } else if (line.startsWith(QLatin1String("Area="))) {
            out.back().area = line.mid(5);
        } else if (line.startsWith(QLatin1String("Action="))) {
            const QString value = line.mid(7);
            codes = value.isEmpty() ? QStringList() : value.split(QLatin1Char('#'));
        } else if (line.startsWith(QLatin1String("Parameter="))) {
            // Parameters keep their own blanks: taken from the untrimmed line.
            const QString value = raw.mid(raw.indexOf(QLatin1Char('=')) + 1);
            finish(value.split(QLatin1Char('#')));
        }
    }
    return out;
}

} // namespace

QString TMainForm::shapesMimeType()
{
    return QStringLiteral("application/x-vazovevoz-rectangles");
}

void TMainForm::buildArrange(QMenu* edit)
{
    const std::unique_ptr<QSettings> settings = openSettings();

    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TMainForm::*click)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, click] { (this->*click)(); });
        return a;
    };
    // The keys are shown, not bound: they work while the picture has the focus (see ShapeKeys), so
    // that the tool windows keep their own Ctrl+C and Ctrl+V.
    item(edit, "miSelectAllShapes", text::kSelectAll, &TMainForm::selectAllShapes);
    item(edit, "miCopyShapes", text::kCopy, &TMainForm::copyPicked);
    item(edit, "miCutShapes", text::kCut, &TMainForm::cutPicked);
    item(edit, "miPasteShapes", text::kPaste, &TMainForm::pasteShapes);
    item(edit, "miDuplicateShapes", text::kDuplicate, &TMainForm::duplicatePicked);
    edit->addSeparator();
    m_miSnap = edit->addAction(text::kSnap);
    m_miSnap->setObjectName(QStringLiteral("miSnapToGuides"));
    m_miSnap->setCheckable(true);
    m_miSnap->setChecked(settings->value(text::kSnapKey, true).toBool());
    connect(m_miSnap, &QAction::toggled, this, [](bool on) { openSettings()->setValue(text::kSnapKey, on); });
    edit->addSeparator();
    QAction* preferences = edit->addAction(QStringLiteral("&Preferences..."));
    preferences->setObjectName(QStringLiteral("miPreferences"));
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(preferences, &QAction::triggered, this, &TMainForm::miPreferencesClick);
    applyPreferences(Preferences::read(*settings));

    QMenuBar* bar = menuBar();
    const QList<QAction*> top = bar->actions();
    QAction* afterEdit = top.value(top.indexOf(edit->menuAction()) + 1);
    m_arrangeMenu = new QMenu(text::kArrange, this); // owned by the window
    m_arrangeMenu->setObjectName(QStringLiteral("miArrange"));
    bar->insertMenu(afterEdit, m_arrangeMenu);
    static const char* const names[kArrangeCommandCount] = {
        "miAlignLeft",     "miAlignRight",  "miAlignTop",      "miAlignBottom",
        "miAlignHCentres", "miAlignVCentres", "miSameWidth",   "miSameHeight",
        "miSameSize",      "miDistributeH", "miDistributeV",
    };
    for (int i = 0; i < kArrangeCommandCount; ++i) {
        const auto command = ArrangeCommand(i);
        if (command == ArrangeCommand::SameWidth || command == ArrangeCommand::DistributeHorizontally)
            m_arrangeMenu->addSeparator();
        QAction* a = m_arrangeMenu->addAction(arrangeCaption(command));
        a->setObjectName(QString::fromLatin1(names[i]));
        connect(a, &QAction::triggered, this, [this, command] { arrangePicked(command); });
        m_arrangeActions.append(a);
    }
    connect(m_arrangeMenu, &QMenu::aboutToShow, this, [this] { refreshArrangeMenu(); });
    m_shapePopUp->addSeparator();
    m_shapePopUp->addMenu(m_arrangeMenu);
    refreshArrangeMenu();

    QMenu* view = new QMenu(text::kView, this); // owned by the window
    view->setObjectName(QStringLiteral("miView"));
    bar->insertMenu(afterEdit, view);
    buildViewMenu(view);
    m_miRemoteOrder = view->addAction(text::kShowRemoteOrder);
    m_miRemoteOrder->setObjectName(QStringLiteral("miShowRemoteOrder"));
    m_miRemoteOrder->setCheckable(true);
    m_miRemoteOrder->setChecked(settings->value(text::kRemoteOrderKey, false).toBool());
    connect(m_miRemoteOrder, &QAction::toggled, this, [this](bool on) {
        openSettings()->setValue(text::kRemoteOrderKey, on);
        refreshRemoteOrder();
    });

    const char* guideNames[2] = {"SnapGuideV", "SnapGuideH"};
    for (int i = 0; i < 2; ++i) {
        auto* guide = new QWidget(m_videoCanvas); // owned by the canvas
        guide->setObjectName(QString::fromLatin1(guideNames[i]));
        guide->setAttribute(Qt::WA_TransparentForMouseEvents);
        guide->setAutoFillBackground(true);
        QPalette palette = guide->palette();
        palette.setColor(QPalette::Window, QColor(255, 0, 200));
        guide->setPalette(palette);
        guide->hide();
        m_guides[i] = guide;
    }
    m_band = new QRubberBand(QRubberBand::Rectangle, m_videoCanvas); // owned by the canvas
    m_band->setObjectName(QStringLiteral("PickBand"));
    m_band->hide();
    m_remoteOverlay = new RemoteOrderOverlay(m_videoCanvas); // owned by the canvas
    m_remoteOverlay->hide();
    m_readoutTimer = new QTimer(this); // owned by the window
    m_readoutTimer->setSingleShot(true);
    connect(m_readoutTimer, &QTimer::timeout, this, [this] { showLatestReadout(); });
}

// --- picking ---------------------------------------------------------------------------------
QList<RShape*> TMainForm::pickedShapes() const
{
    QList<RShape*> out;
    if (m_picked.size() > 1) {
        for (const QPointer<RShape>& s : m_picked) {
            if (s)
                out.append(s.data());
        }
    } else if (m_currentShape && m_currentShape->tag && m_currentShape->anchorsShown()) {
        // A rectangle just drawn is current but not picked: it shows no anchors.
        out.append(m_currentShape.data());
    }
    return out;
}

void TMainForm::clearMultiPick()
{
    for (const QPointer<RShape>& s : std::as_const(m_picked)) {
        if (s)
            s->setMarked(false);
    }
    m_picked.clear();
    if (m_selections)
        m_selections->markSelections({});
}

void TMainForm::setPickedShapes(const QList<RShape*>& shapes)
{
    clearMultiPick();
    if (m_currentShape && m_currentShape->anchorsShown())
        m_currentShape->HideAnchors();
    m_currentShape = shapes.value(0);
    if (shapes.size() == 1) {
        if (shapes[0]->tag && m_selections)
            m_selections->SelectSelection(shapes[0]->tag); // calls SelectShape back: the anchors
        else
            shapes[0]->ShowAnchors();
    } else {
        QList<Selection*> selections;
        for (RShape* s : shapes) {
            m_picked.append(s);
            s->setMarked(true);
            if (s->tag)
                selections.append(s->tag);
        }
        // The list shows the same rectangles picked as the picture does.
        if (m_selections)
            m_selections->markSelections(selections);
    }
    refreshArrangeMenu();
}

void TMainForm::togglePicked(RShape* shape)
{
    QList<RShape*> shapes = pickedShapes();
    if (shapes.contains(shape))
        shapes.removeAll(shape);
    else
        shapes.append(shape);
    setPickedShapes(shapes);
}

void TMainForm::selectAllShapes()
{
    Page* page = currentPage();
    if (!page)
        return;
    QList<RShape*> shapes;
    for (const auto& s : page->selections) {
        if (auto* shape = qobject_cast<RShape*>(s->shape.data()))
            shapes.append(shape);
    }
    setPickedShapes(shapes);
}

void TMainForm::endBandPick(QPoint inPicture)
{
    m_bandPicking = false;
    m_band->hide();
    const QRect band = QRect(pictureOrigin() + m_bandOrigin, pictureOrigin() + inPicture).normalized();
    Page* page = currentPage();
    QList<RShape*> touched;
    if (page) {
        for (const auto& s : page->selections) {
            auto* shape = qobject_cast<RShape*>(s->shape.data());
            if (shape && shape->bounds().intersects(band))
                touched.append(shape);
        }
    }
    setPickedShapes(touched);
}

void TMainForm::refreshArrangeMenu()
{
    const int n = int(pickedShapes().size());
    for (int i = 0; i < m_arrangeActions.size(); ++i)
        m_arrangeActions[i]->setEnabled(n >= arrangeMinimum(ArrangeCommand(i)));
}

// --- changing the picked ones together ----------------------------------------------------------
void TMainForm::syncShape(Selection* selection)
{
    auto* shape = selection ? qobject_cast<RShape*>(selection->shape.data()) : nullptr;
    const std::optional<AreaRect> area = selection ? parseArea(selection->area) : std::nullopt;
    if (!shape || !area)
        return;
    const QPoint origin = pictureOrigin();
    const QRect bounds(origin.x() + area->left, origin.y() + area->top, area->width(), area->height());
    if (shape->bounds() == bounds)
        return;
    shape->setBounds(bounds);
    shape->placeAnchors();
    if (m_remoteOverlay->isVisible())
        m_remoteOverlay->update();
}

void TMainForm::arrangePicked(ArrangeCommand command)
{
    const QList<RShape*> shapes = pickedShapes();
    if (!m_edits || int(shapes.size()) < arrangeMinimum(command))
        return;
    std::vector<QRect> rects;
    rects.reserve(size_t(shapes.size()));
    for (RShape* s : shapes)
        rects.push_back(s->bounds());
    const std::vector<QRect> arranged = arrange(command, rects, pictureRect());
    std::vector<ProjectEdits::AreaChange> changes;
    changes.reserve(rects.size());
    for (qsizetype i = 0; i < shapes.size(); ++i) {
        shapes[i]->setBounds(arranged[size_t(i)]);
        shapes[i]->placeAnchors();
        if (shapes[i]->tag)
            changes.push_back({shapes[i]->tag, areaTextOf(*shapes[i])});
    }
    m_edits->setAreas(changes, arrangeText(command));
}

void TMainForm::nudgePicked(int dx, int dy, bool continuesRun)
{
    const QList<RShape*> shapes = pickedShapes();
    if (shapes.isEmpty() || !m_edits)
        return;
    QRect box;
    for (RShape* s : shapes)
        box |= s->bounds();
    const QRect moved = keepInside(box.translated(dx, dy), pictureRect());
    const QPoint by = moved.topLeft() - box.topLeft();
    if (by.isNull())
        return;
    std::vector<ProjectEdits::AreaChange> changes;
    for (RShape* s : shapes) {
        s->moveBy(by.x(), by.y());
        if (s->tag)
            changes.push_back({s->tag, areaTextOf(*s)});
    }
    m_edits->setAreas(changes, text::kNudgeRectangles, continuesRun);
}

std::vector<int> TMainForm::selectionIndexes(Page& page, const QList<RShape*>& shapes) const
{
    std::vector<int> indexes;
    for (RShape* s : shapes) {
        const int index = m_edits->selectionIndex(&page, s->tag);
        if (index >= 0)
            indexes.push_back(index);
    }
    return indexes;
}

void TMainForm::deletePicked()
{
    Page* page = currentPage();
    const QList<RShape*> shapes = pickedShapes();
    if (!page || !m_edits || shapes.isEmpty())
        return;
    const std::vector<int> indexes = selectionIndexes(*page, shapes);
    QList<const Selection*> selections;
    for (RShape* s : shapes) {
        if (s->tag)
            selections.append(s->tag);
    }
    const QString what = deletedText(selections);
    m_picked.clear();
    m_currentShape = nullptr;
    m_edits->deleteSelections(*page, indexes, text::kDeleteRectangles); // takes the rectangles off the picture
    showStatusMessage(what);
    if (m_selections)
        m_selections->ShowPageSelections(page);
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(page);
}

void TMainForm::movePickedToPage(Page* target)
{
    Page* page = currentPage();
    const QList<RShape*> shapes = pickedShapes();
    if (!page || !target || target == page || !m_edits || shapes.isEmpty())
        return;
    const std::vector<int> indexes = selectionIndexes(*page, shapes);
    m_picked.clear();
    m_currentShape = nullptr;
    m_edits->moveSelectionsToPage(*page, indexes, *target, text::kMoveRectanglesToPage);
    if (m_selections)
        m_selections->ShowPageSelections(page);
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(page);
}

// --- dragging and snapping -------------------------------------------------------------------
QString TMainForm::geometryText(const RShape& shape) const
{
    const QRect b = shape.bounds();
    const QPoint o = pictureOrigin();
    return QStringLiteral("x %1  y %2  w %3  h %4  (%5)")
        .arg(b.x() - o.x())
        .arg(b.y() - o.y())
        .arg(b.width())
        .arg(b.height())
        .arg(areaTextOf(shape));
}

void TMainForm::showReadout(const RShape& shape)
{
    // The status place relays out the menu bar when its text changes, which costs more than the move
    // itself: during a drag it shows the numbers a few dozen times a second, the first at once. The
    // latest numbers of a faster run follow when the interval is over, so a pointer that comes to
    // rest shows where it rests.
    m_readoutText = geometryText(shape);
    const qint64 wait = m_readoutClock.isValid() ? kReadoutIntervalMs - m_readoutClock.elapsed() : 0;
    if (wait > 0) {
        if (!m_readoutTimer->isActive())
            m_readoutTimer->start(int(wait));
        return;
    }
    showLatestReadout();
}

void TMainForm::showLatestReadout()
{
    m_readoutTimer->stop();
    m_readoutClock.start();
    showStatusMessage(m_readoutText);
}

void TMainForm::refreshReadout()
{
    // Undo and redo move rectangles back and forth: numbers the line still shows from before would
    // describe a rectangle that is no longer there.
    const bool shown = m_readoutTimer->isActive() || (m_statusTimer->isActive() && statusText() == m_readoutText);
    if (!shown)
        return;
    if (m_currentShape && m_currentShape->isVisible()) {
        m_readoutText = geometryText(*m_currentShape);
        showLatestReadout();
        return;
    }
    m_readoutTimer->stop();
    m_statusTimer->stop();
    setStatusLineText(QString());
    showProblemCount();
}

QList<QRect> TMainForm::otherShapeBounds(const QList<RShape*>& moving) const
{
    QList<QRect> others;
    for (const QPointer<RShape>& s : m_shapes) {
        if (s && s->isVisible() && !moving.contains(s.data()))
            others.append(s->bounds());
    }
    return others;
}

void TMainForm::miPreferencesClick()
{
    Preferences current = Preferences::read(*openSettings());
    current.snapToGuides = snapEnabled();
    TPreferencesForm form(current, this);
    if (runModal(form) != QDialog::Accepted)
        return;
    const Preferences chosen = form.preferences();
    chosen.write(*openSettings());
    applyPreferences(chosen);
}

void TMainForm::applyPreferences(const Preferences& preferences)
{
    setSnapEnabled(preferences.snapToGuides);
    m_autosaveIntervalMs = preferences.autosaveMinutes * 60 * 1000;
    restartAutosaveTimer();
    m_video.setDecoderSettings(preferences.decoderSettings());
}

bool TMainForm::snapEnabled() const
{
    return m_miSnap->isChecked();
}

void TMainForm::setSnapEnabled(bool on)
{
    m_miSnap->setChecked(on);
}

void TMainForm::beginShapeDrag(RShape* grabbed, QPoint inGrabbed)
{
    m_grabbed = grabbed;
    m_readoutClock.invalidate();
    m_pressInCanvas = grabbed->pos() + inGrabbed;
    m_dragStart.clear();
    const QList<RShape*> moving = m_picked.size() > 1 ? pickedShapes() : QList<RShape*>{grabbed};
    for (RShape* s : moving)
        m_dragStart.append({s, s->bounds()});
    // The lines to snap to stay where they are for the whole drag: found once.
    const QList<QRect> others = otherShapeBounds(moving);
    m_dragLines.emplace(std::span<const QRect>(others.constData(), size_t(others.size())), pictureRect());
}

void TMainForm::dragShapes(RShape* grabbed, QPoint inGrabbed, Qt::KeyboardModifiers modifiers)
{
    // The pointer moves in screen pixels, the rectangles in picture pixels.
    QPoint by = m_videoImage->toPictureDistance(grabbed->pos() + inGrabbed - m_pressInCanvas);
    QRect box;
    for (const DragStart& d : std::as_const(m_dragStart))
        box |= d.bounds;
    const QRect pic = pictureRect();
    QRect moved = keepInside(box.translated(by), pic);
    SnapLines::Result snapped;
    if (snapEnabled() && !(modifiers & Qt::AltModifier) && m_dragLines) {
        snapped = m_dragLines->snap(moved, SnapLines::Edges::all());
        moved = keepInside(moved.translated(snapped.dx, snapped.dy), pic);
    }
    showGuides(snapped);
    by = moved.topLeft() - box.topLeft();
    for (const DragStart& d : std::as_const(m_dragStart)) {
        if (d.shape)
            d.shape->setBounds(d.bounds.translated(by));
    }
    showReadout(*grabbed);
    if (m_remoteOverlay->isVisible())
        refreshRemoteOrder();
}

bool TMainForm::endShapeDrag()
{
    hideGuides();
    m_dragLines.reset();
    bool moved = false;
    std::vector<ProjectEdits::AreaChange> changes;
    for (const DragStart& d : std::as_const(m_dragStart)) {
        if (!d.shape)
            continue;
        moved = moved || d.shape->bounds() != d.bounds;
        if (d.shape->tag)
            changes.push_back({d.shape->tag, areaTextOf(*d.shape)});
    }
    const bool group = m_dragStart.size() > 1;
    m_dragStart.clear();
    if (group && moved && m_edits)
        m_edits->setAreas(changes, text::kMoveRectangles);
    return moved;
}

QRect TMainForm::snapDrawing(QRect band, Qt::KeyboardModifiers modifiers)
{
    if (!snapEnabled() || (modifiers & Qt::AltModifier)) {
        hideGuides();
        return band;
    }
    // Only the corner under the pointer moves: the right and bottom edges snap.
    const QList<QRect> others = otherShapeBounds({m_currentShape.data()});
    const SnapLines lines(std::span<const QRect>(others.constData(), size_t(others.size())), pictureRect());
    SnapLines::Edges edges;
    edges.right = edges.bottom = true;
    const SnapLines::Result snapped = lines.snap(band, edges);
    showGuides(snapped);
    const QRect pic = pictureRect();
    band.setWidth(qBound(0, band.width() + snapped.dx, pic.left() + pic.width() - band.left()));
    band.setHeight(qBound(0, band.height() + snapped.dy, pic.top() + pic.height() - band.top()));
    return band;
}

void TMainForm::snapResize(RShape* shape, int anchor, Qt::KeyboardModifiers modifiers)
{
    if (snapEnabled() && !(modifiers & Qt::AltModifier)) {
        const QList<QRect> others = otherShapeBounds({shape});
        const SnapLines lines(std::span<const QRect>(others.constData(), size_t(others.size())), pictureRect());
        // The edges each anchor drags: 0 left, 1 right, 2 top, 3 bottom, then the four corners.
        SnapLines::Edges edges;
        edges.left = anchor == 0 || anchor == 4 || anchor == 5;
        edges.right = anchor == 1 || anchor == 6 || anchor == 7;
        edges.top = anchor == 2 || anchor == 4 || anchor == 6;
        edges.bottom = anchor == 3 || anchor == 5 || anchor == 7;
        const SnapLines::Result snapped = lines.snap(shape->bounds(), edges);
        QRect b = shape->bounds();
        if (edges.left)
            b.setLeft(b.left() + snapped.dx);
        else
            b.setWidth(b.width() + snapped.dx);
        if (edges.top)
            b.setTop(b.top() + snapped.dy);
        else
            b.setHeight(b.height() + snapped.dy);
        shape->setBounds(b);
        showGuides(snapped);
    } else {
        hideGuides();
    }
    showReadout(*shape);
}

void TMainForm::showGuides(const SnapLines::Result& snapped)
{
    const QRect pic = m_videoImage->geometry(); // the lines lie on the picture as shown
    if (snapped.guideX) {
        m_guides[0]->setGeometry(m_videoImage->canvasToShownX(*snapped.guideX), pic.top(), 1, pic.height());
        m_guides[0]->show();
        m_guides[0]->raise();
    } else {
        m_guides[0]->hide();
    }
    if (snapped.guideY) {
        m_guides[1]->setGeometry(pic.left(), m_videoImage->canvasToShownY(*snapped.guideY), pic.width(), 1);
        m_guides[1]->show();
        m_guides[1]->raise();
    } else {
        m_guides[1]->hide();
    }
}

void TMainForm::hideGuides()
{
    for (QWidget* g : m_guides) {
        if (g)
            g->hide();
    }
}

// --- copy and paste --------------------------------------------------------------------------
void TMainForm::copyPicked()
{
    QList<Selection*> selections;
    for (RShape* s : pickedShapes()) {
        if (s->tag)
            selections.append(s->tag);
    }
    if (selections.isEmpty())
        return;
    auto* data = new QMimeData; // the clipboard takes it
    data->setData(shapesMimeType(), blockText(selections, false).toUtf8());
    data->setText(blockText(selections, true));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TMainForm::cutPicked()
{
    if (pickedShapes().isEmpty())
        return;
    copyPicked();
    Page* page = currentPage();
    if (!page || !m_edits)
        return;
    std::vector<int> indexes;
    for (RShape* s : pickedShapes()) {
        const int index = m_edits->selectionIndex(page, s->tag);
        if (index >= 0)
            indexes.push_back(index);
    }
    m_picked.clear();
    m_currentShape = nullptr;
    m_edits->deleteSelections(*page, indexes, text::kCutRectangles);
    if (m_selections)
        m_selections->ShowPageSelections(page);
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(page);
}

namespace {
// New selections from copied ones, named by the page's running number, placed where they were when no
// rectangle of the page has that place, else 10 pixels further right and down until one is free.
std::vector<std::unique_ptr<Selection>> makePasted(Page& page, const std::vector<CopiedSelection>& copied,
                                                   const QSize& picture)
{
    std::vector<std::unique_ptr<Selection>> out;
    for (const CopiedSelection& c : copied) {
        QString area = c.area;
        if (const std::optional<AreaRect> a = parseArea(c.area)) {
            QRect r(a->left, a->top, a->width(), a->height());
            auto taken = [&](const QRect& at) {
                const QString text = formatArea(at.left(), at.top(), at.left() + at.width(), at.top() + at.height());
                for (const auto& s : page.selections) {
                    if (s->area == text)
                        return true;
                }
                for (const auto& s : out) {
                    if (s->area == text)
                        return true;
                }
                return false;
            };
            for (int tries = 0; tries < 100 && taken(r); ++tries) {
                const QRect next = keepInside(r.translated(kPasteOffset, kPasteOffset), QRect(QPoint(0, 0), picture));
                if (next == r)
                    break; // at the picture's corner: it stays on top of the other
                r = next;
            }
            area = formatArea(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
        }
        page.nameCounter += 1;
        auto s = std::make_unique<Selection>(text::kSelectionPrefix + QString::number(page.nameCounter), area);
        for (const auto& [code, parameter] : c.actions)
            s->actions.push_back(std::make_unique<MenuAction>(code, parameter));
        out.push_back(std::move(s));
    }
    return out;
}
} // namespace

void TMainForm::pasteShapes()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    Page* page = currentPage();
    if (!data || !page || !m_edits || !data->hasFormat(shapesMimeType()))
        return;
    addCopiesAndPick(*page, QString::fromUtf8(data->data(shapesMimeType())), text::kPasteRectangles);
}

void TMainForm::addCopiesAndPick(Page& page, const QString& copiedText, const QString& stepName)
{
    const std::vector<CopiedSelection> copied = readBlockText(copiedText);
    if (copied.empty())
        return;
    const int counterBefore = page.nameCounter;
    std::vector<std::unique_ptr<Selection>> made = makePasted(page, copied, m_videoImage->image().size());
    QList<Selection*> added;
    for (const auto& s : made)
        added.append(s.get());
    m_edits->addNamedSelections(page, std::move(made), counterBefore, stepName);
    // The page's rectangles are made again with the new ones, which are then picked.
    remakeShapes(page);
    QList<RShape*> shapes;
    for (Selection* s : std::as_const(added)) {
        if (auto* shape = qobject_cast<RShape*>(s->shape.data()))
            shapes.append(shape);
    }
    setPickedShapes(shapes);
}

void TMainForm::remakeShapes(Page& page)
{
    removeShapes();
    createShapes(page);
    if (m_selections)
        m_selections->ShowPageSelections(&page);
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(&page);
}

void TMainForm::duplicatePicked()
{
    Page* page = currentPage();
    QList<Selection*> selections;
    for (RShape* s : pickedShapes()) {
        if (s->tag)
            selections.append(s->tag);
    }
    if (!page || !m_edits || selections.isEmpty())
        return;
    // The same as a copy and a paste, without touching the clipboard.
    addCopiesAndPick(*page, blockText(selections, false), text::kDuplicateRectangles);
}

// --- the remote control's order --------------------------------------------------------------
bool TMainForm::remoteOrderShown() const
{
    return m_miRemoteOrder->isChecked();
}

void TMainForm::setRemoteOrderShown(bool on)
{
    m_miRemoteOrder->setChecked(on);
}

void TMainForm::refreshRemoteOrder()
{
    auto* overlay = static_cast<RemoteOrderOverlay*>(m_remoteOverlay);
    if (!overlay)
        return;
    m_remoteNumbers.clear();
    m_remoteDefault = -1;
    overlay->marks.clear();
    Page* page = currentPage();
    const int pageIndex = m_edits ? m_edits->pageIndex(page) : -1;
    if (!m_miRemoteOrder->isChecked() || pageIndex < 0) {
        overlay->hide();
        return;
    }
    // The player's own model orders them, so the picture and the Preview cannot disagree. It reads
    // the Area texts; during a drag the rectangles are ahead of them, so for this one reading the
    // texts are those of the rectangles as they stand, and then put back.
    std::vector<std::pair<Selection*, QString>> ahead;
    for (const auto& s : page->selections) {
        const auto* shape = qobject_cast<RShape*>(s->shape.data());
        if (shape && s->area != areaTextOf(*shape))
            ahead.emplace_back(s.get(), std::exchange(s->area, areaTextOf(*shape)));
    }
    PlayerModel model(m_project);
    model.start(pageIndex);
    for (auto& [selection, area] : ahead)
        selection->area = std::move(area);
    m_remoteNumbers = QList<int>(qsizetype(page->selections.size()), 0);
    int number = 0;
    for (int line = 0; line < model.lineCount(); ++line) {
        for (int index : model.line(line))
            m_remoteNumbers[index] = ++number;
    }
    m_remoteDefault = model.highlight();
    for (qsizetype i = 0; i < m_remoteNumbers.size(); ++i) {
        overlay->marks.append({qobject_cast<RShape*>(page->selections[size_t(i)]->shape.data()), m_remoteNumbers[i],
                               i == m_remoteDefault});
    }
    placeRemoteOrder();
    overlay->show();
    overlay->raise();
    overlay->update();
}

void TMainForm::placeRemoteOrder()
{
    if (m_remoteOverlay)
        m_remoteOverlay->setGeometry(m_videoImage->geometry());
}
