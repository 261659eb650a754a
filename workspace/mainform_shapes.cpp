// The selection rectangles on the picture: drawing a new one, picking, moving and resizing, the
// crosshair that helps to aim, the rectangle's popup menu (Delete, Move to page), arrow-key nudging,
// and the Edit menu whose Undo and Redo take back any of it.
//
// Qt cannot confine the pointer on every platform, so the same effect is had in the geometry: a
// rectangle being drawn grows only right and down from the press and never past the picture's right
// and bottom edges, and a rectangle being moved stays wholly inside the picture.
#include "workspace/mainform.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QUndoStack>

#include "document/areatext.h"
#include "document/model.h"
#include "edits/projectedits.h"
#include "workspace/rshape.h"

namespace {

namespace text {
const QString kEdit = QStringLiteral("&Edit");
const QString kUndo = QStringLiteral("Undo");
const QString kRedo = QStringLiteral("Redo");
const QString kSelectionPrefix = QStringLiteral("Selection-");
const QString kMoveRectangle = QStringLiteral("Move rectangle");
const QString kResizeRectangle = QStringLiteral("Resize rectangle");
const QString kNudgeRectangle = QStringLiteral("Nudge rectangle");
} // namespace text

constexpr int kCrosshairGap = 15;   // the lines stop this far short of the pointer
constexpr int kCrosshairWidth = 3;
constexpr int kNudgeStep = 1;
constexpr int kNudgeShiftStep = 10;

// Arrow keys and Delete act on the current rectangle while the picture area has the focus; the frame
// navigation keys, which are shortcuts, get them only when no rectangle is current.
class ShapeKeys : public QObject
{
public:
    explicit ShapeKeys(TMainForm& form) : QObject(&form), m_form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if (pictureCommand(*key, event->type() == QEvent::KeyPress))
            return true;
        const bool arrow = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up
                           || key->key() == Qt::Key_Down;
        const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
        if (!m_form.currentShape() || !(arrow || key->key() == Qt::Key_Delete) || !plain)
            return QObject::eventFilter(watched, event);
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // the key comes to us as a key press instead of running a shortcut
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            m_form.Delete1Click();
            return true;
        }
        const int step = key->modifiers() & Qt::ShiftModifier ? kNudgeShiftStep : kNudgeStep;
        const int dx = key->key() == Qt::Key_Left ? -step : key->key() == Qt::Key_Right ? step : 0;
        const int dy = key->key() == Qt::Key_Up ? -step : key->key() == Qt::Key_Down ? step : 0;
        if (m_form.pickedShapes().size() > 1)
            m_form.nudgePicked(dx, dy, key->isAutoRepeat());
        else
            m_form.nudgeCurrentShape(dx, dy, key->isAutoRepeat());
        return true;
    }

    // Select all, copy, cut, paste and duplicate, while the picture area has the focus (the tool
    // windows keep their own Ctrl+C and Ctrl+V).
    bool pictureCommand(QKeyEvent& key, bool run)
    {
        if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
            return false;
        void (TMainForm::*command)() = nullptr;
        switch (key.key()) {
        case Qt::Key_A:
            command = &TMainForm::selectAllShapes;
            break;
        case Qt::Key_C:
            command = &TMainForm::copyPicked;
            break;
        case Qt::Key_X:
            command = &TMainForm::cutPicked;
            break;
        case Qt::Key_V:
            command = &TMainForm::pasteShapes;
            break;
        case Qt::Key_D:
            command = &TMainForm::duplicatePicked;
            break;
        default:
            return false;
        }
        key.accept();
        if (run)
            (m_form.*command)();
        return true;
    }

private:
    TMainForm& m_form;
};

} // namespace

void TMainForm::buildShapes()
{
    // The prototype carries what every rectangle of a shown page copies: the picture it inverts and
    // the handlers.
    m_prototype = new RShape(m_videoCanvas, m_videoImage); // owned by the canvas
    m_prototype->setObjectName(QStringLiteral("PrototypeShape"));
    m_prototype->hide();
    m_prototype->onMouseDown = [this](RShape* s, QMouseEvent* e) { ShapeMouseDown(s, e); };
    m_prototype->onMouseMove = [this](RShape* s, QMouseEvent* e) { ShapeMouseMove(s, e); };
    m_prototype->onMouseUp = [this](RShape* s, QMouseEvent* e) { ShapeMouseUp(s, e); };
    m_prototype->onContextPopup = [this](RShape* s, QPoint at) { ShapeContextPopup(s, at); };
    m_prototype->OnAnyAnchorMove = [this](RShapeAnchor*, Qt::KeyboardModifiers) { ShowCrosshair(false); };
    m_prototype->onResizing = [this](RShape* s, int anchor, Qt::KeyboardModifiers m) { snapResize(s, anchor, m); };
    m_prototype->OnChangedSize = [this] {
        hideGuides();
        if (!m_currentShape || !m_currentShape->tag || !m_edits)
            return;
        const QString area = AreaText();
        if (area != m_currentShape->tag->area)
            m_edits->setArea(*m_currentShape->tag, area, text::kResizeRectangle);
    };

    const char* names[4] = {"HLine1", "HLine2", "VLine1", "VLine2"};
    for (int i = 0; i < 4; ++i) {
        auto* line = new InvertedArea(m_videoCanvas, m_videoImage); // owned by the canvas
        line->setObjectName(QString::fromLatin1(names[i]));
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        // No size until the pointer places it: showing the crosshair before that (as an open does)
        // would otherwise show a widget's default 100 x 30 in the picture's corner.
        line->resize(0, 0);
        line->hide();
        m_crosshair[i] = line;
    }

    m_videoImage->onMouseDown = [this](QMouseEvent* e) { VideoImageMouseDown(e); };
    m_videoImage->onMouseMove = [this](QMouseEvent* e) { VideoImageMouseMove(e); };
    // Lines left behind by a pointer that has gone look like part of the picture.
    m_videoImage->onLeave = [this] { ShowCrosshair(false); };
    m_videoImage->onEnter = [this](QPoint p) {
        placeCrosshair(p);
        ShowCrosshair(true);
    };
    m_videoImage->onMouseUp = [this](QMouseEvent* e) { VideoImageMouseUp(e); };
    // Everything drawn inverted follows the picture it inverts.
    connect(m_videoImage, &VideoImageWidget::imageChanged, this, [this] {
        for (const QPointer<RShape>& s : std::as_const(m_shapes)) {
            if (s)
                s->update();
        }
        for (QWidget* line : m_crosshair)
            line->update();
    });

    m_shapeKeys = new ShapeKeys(*this); // owned by the window
    for (QWidget* w : {static_cast<QWidget*>(m_videoPanel), static_cast<QWidget*>(m_videoCanvas)})
        w->installEventFilter(m_shapeKeys);
    m_videoScroll->installEventFilter(m_shapeKeys);

    QAction* del = m_shapePopUp->findChild<QAction*>(QStringLiteral("puShapeDelete"));
    connect(del, &QAction::triggered, this, [this] { Delete1Click(); });
    m_moveToPageMenu = m_shapePopUp->findChild<QMenu*>(QStringLiteral("puShapeMoveToPage"));
    m_moveToPageMenu->menuAction()->setObjectName(QStringLiteral("Movetopage1"));
    buildArrange(m_editMenu);
}

void TMainForm::buildEditMenu(QMenu* edit)
{
    m_editMenu = edit;
    // Filled by setEdits, once the project's stack is known.
}

void TMainForm::setEdits(ProjectEdits* edits)
{
    m_edits = edits;
    delete m_undoAction;
    delete m_redoAction;
    m_undoAction = edits->stack().createUndoAction(m_editMenu, text::kUndo);
    m_undoAction->setObjectName(QStringLiteral("miUndo"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = edits->stack().createRedoAction(m_editMenu, text::kRedo);
    m_redoAction->setObjectName(QStringLiteral("miRedo"));
    m_redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    QAction* first = m_editMenu->actions().value(0);
    m_editMenu->insertAction(first, m_undoAction);
    m_editMenu->insertAction(first, m_redoAction);
    if (first)
        m_editMenu->insertSeparator(first);
    // The rectangles follow their areas whatever changed them (typed numbers, alignment, undo); the
    // remote order follows the rectangles and the page's ordering.
    connect(edits, &ProjectEdits::selectionChanged, this, [this](Selection* s) {
        syncShape(s);
        refreshRemoteOrder();
    });
    connect(edits, &ProjectEdits::selectionsChanged, this, [this] { refreshRemoteOrder(); });
    connect(edits, &ProjectEdits::pageChanged, this, [this] { refreshRemoteOrder(); });
    connect(&edits->stack(), &QUndoStack::indexChanged, this, [this] { refreshReadout(); });
    watchModified();
}

QString TMainForm::videoPosText() const
{
    return m_edVideoPos->text();
}

void TMainForm::gotoFrameText(const QString& frame)
{
    m_edVideoPos->setText(frame);
    bttGotoClick();
}

// --- geometry --------------------------------------------------------------------------------
QPoint TMainForm::pictureOrigin() const
{
    return m_videoImage->pos();
}

QRect TMainForm::pictureRect() const
{
    return QRect(m_videoImage->pos(), m_videoImage->image().size());
}

Page* TMainForm::currentPage() const
{
    return m_pages ? m_pages->currentPage() : nullptr;
}

QString TMainForm::areaTextOf(const RShape& shape) const
{
    const QRect b = shape.bounds();
    const int l = b.x() - pictureOrigin().x();
    const int t = b.y() - pictureOrigin().y();
    return formatArea(l, t, l + b.width(), t + b.height());
}

QString TMainForm::AreaText() const
{
    return m_currentShape ? areaTextOf(*m_currentShape) : QString();
}

void TMainForm::followPicture()
{
    // Fitting raises the picture; what is drawn over it goes back on top.
    for (const QPointer<RShape>& s : std::as_const(m_shapes)) {
        if (s)
            s->raise();
    }
    for (QWidget* line : m_crosshair)
        line->raise();
    const QPoint origin = pictureOrigin();
    const QPoint delta = origin - m_shownPictureOrigin;
    m_shownPictureOrigin = origin;
    if (delta.isNull())
        return;
    for (const QPointer<RShape>& s : std::as_const(m_shapes)) {
        if (s) {
            s->moveBy(delta.x(), delta.y());
            s->placeAnchors();
        }
    }
    for (QWidget* line : m_crosshair) { // where they were is no longer where the pointer is
        line->hide();
        line->resize(0, 0);
    }
    placeRemoteOrder();
}

// --- rectangles of a page --------------------------------------------------------------------
void TMainForm::createShapes(Page& page)
{
    const QPoint origin = pictureOrigin();
    m_shownPictureOrigin = origin;
    for (auto& selection : page.selections) {
        const std::optional<AreaRect> area = parseArea(selection->area);
        if (!area)
            continue; // the text stays as it is; the selection is still listed
        auto* shape = new RShape(m_videoCanvas); // owned by the canvas; the selection destroys it
        shape->copySettingsFrom(*m_prototype);
        shape->setBounds(QRect(origin.x() + area->left, origin.y() + area->top, area->width(), area->height()));
        shape->tag = selection.get();
        selection->shape = shape;
        shape->show();
        m_shapes.append(shape);
    }
    for (QWidget* line : m_crosshair)
        line->raise();
    refreshRemoteOrder();
}

void TMainForm::removeShapes()
{
    for (const QPointer<RShape>& s : std::as_const(m_shapes)) {
        if (s) {
            if (s->tag)
                s->tag->shape = nullptr;
            delete s.data();
        }
    }
    m_shapes.clear();
    m_currentShape = nullptr;
    m_picked.clear();
    hideGuides();
    refreshRemoteOrder();
}

QList<RShape*> TMainForm::shownShapes() const
{
    QList<RShape*> shapes;
    for (const QPointer<RShape>& s : m_shapes) {
        if (s)
            shapes.append(s.data());
    }
    return shapes;
}

void TMainForm::SelectShape(RShape* shape)
{
    clearMultiPick();
    if (m_currentShape && m_currentShape->anchorsShown())
        m_currentShape->HideAnchors();
    m_currentShape = shape;
    if (shape && !shape->anchorsShown())
        shape->ShowAnchors();
}

// --- crosshair -------------------------------------------------------------------------------
QWidget* TMainForm::crosshairLine(int i) const
{
    return i >= 0 && i < 4 ? m_crosshair[i] : nullptr;
}

void TMainForm::ShowCrosshair(bool show)
{
    m_crosshairShown = show;
    for (QWidget* line : m_crosshair)
        line->setVisible(show && line->width() > 0 && line->height() > 0);
}

void TMainForm::placeCrosshair(QPoint p)
{
    // The lines are placed on the picture as shown, through the pointer's picture pixel.
    const QRect pic = m_videoImage->geometry();
    const int x = m_videoImage->toShown(p.x());
    const int y = m_videoImage->toShown(p.y());
    const QRect lines[4] = {
        QRect(pic.left(), pic.top() + y, x - kCrosshairGap, kCrosshairWidth),
        QRect(pic.left() + x + kCrosshairGap, pic.top() + y, pic.width() - x - kCrosshairGap, kCrosshairWidth),
        QRect(pic.left() + x, pic.top(), kCrosshairWidth, y - kCrosshairGap),
        QRect(pic.left() + x, pic.top() + y + kCrosshairGap, kCrosshairWidth, pic.height() - y - kCrosshairGap),
    };
    for (int i = 0; i < 4; ++i) {
        // A part whose length comes out at zero or less is not drawn.
        if (lines[i].width() > 0 && lines[i].height() > 0) {
            m_crosshair[i]->setGeometry(lines[i]);
            m_crosshair[i]->show();
            m_crosshair[i]->raise();
        } else {
            m_crosshair[i]->hide();
            m_crosshair[i]->resize(0, 0);
        }
    }
}

// --- drawing a new rectangle -----------------------------------------------------------------
void TMainForm::VideoImageMouseDown(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return; // any other button creates nothing
    if (event->modifiers() & Qt::ShiftModifier) {
        // Shift-drag on the bare picture picks the rectangles it touches instead of drawing one.
        m_bandPicking = true;
        m_bandOrigin = m_videoImage->toPicture(event->position());
        m_band->setGeometry(m_videoImage->canvasToShown(QRect(pictureOrigin() + m_bandOrigin, QSize(0, 0))));
        m_band->show();
        m_band->raise();
        return;
    }
    startDrawing(m_videoImage->toPicture(event->position()));
}

void TMainForm::startDrawing(QPoint inPicture)
{
    if (m_drawing && m_currentShape && !m_currentShape->tag) {
        // A rubber band whose release never came (a popup took the mouse): it goes.
        m_shapes.removeAll(m_currentShape);
        delete m_currentShape.data();
    }
    clearMultiPick();
    if (m_currentShape && m_currentShape->anchorsShown())
        m_currentShape->HideAnchors();
    const QPoint origin = pictureOrigin();
    auto* shape = new RShape(m_videoCanvas); // owned by the canvas until a selection takes it
    shape->copySettingsFrom(*m_prototype);
    shape->setBounds(QRect(origin + inPicture, QSize(0, 0)));
    shape->show();
    m_currentShape = shape;
    m_shapes.append(shape);
    m_drawOrigin = inPicture;
    m_drawing = true;
    m_readoutClock.invalidate();
}

void TMainForm::VideoImageMouseMove(QMouseEvent* event)
{
    const QPoint p = m_videoImage->toPicture(event->position());
    if (!m_crosshairShown)
        ShowCrosshair(true);
    placeCrosshair(p);
    if (m_bandPicking && (event->buttons() & Qt::LeftButton)) {
        const QRect band = QRect(pictureOrigin() + m_bandOrigin, pictureOrigin() + p).normalized();
        m_band->setGeometry(m_videoImage->canvasToShown(band));
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || !m_drawing || !m_currentShape)
        return;
    stretchRubberBand(p, event->modifiers());
}

void TMainForm::stretchRubberBand(QPoint p, Qt::KeyboardModifiers modifiers)
{
    // The rubber band grows right and down from the press, up to the picture's right and bottom edges.
    const QSize size = m_videoImage->image().size();
    const int x = qBound(m_drawOrigin.x(), p.x(), qMax(m_drawOrigin.x(), size.width()));
    const int y = qBound(m_drawOrigin.y(), p.y(), qMax(m_drawOrigin.y(), size.height()));
    const QRect band(pictureOrigin() + m_drawOrigin, QSize(x - m_drawOrigin.x(), y - m_drawOrigin.y()));
    m_currentShape->setBounds(snapDrawing(band, modifiers));
    showReadout(*m_currentShape);
}

void TMainForm::VideoImageMouseUp(QMouseEvent* event)
{
    if (m_bandPicking) {
        // Any release ends the pick, as it ends a drawing.
        endBandPick(m_videoImage->toPicture(event->position()));
        return;
    }
    // Any release ends the drawing, also that of another button pressed while the left one is held:
    // the rubber band becomes a selection as it stands, or goes. It never stays without a selection.
    if (m_drawing && m_currentShape) {
        m_drawing = false;
        stretchRubberBand(m_videoImage->toPicture(event->position()), event->modifiers()); // the size at the release
        RShape* shape = m_currentShape;
        Page* page = currentPage();
        const QRect b = shape->bounds();
        if (b.width() >= RShape::kMinimumSide && b.height() >= RShape::kMinimumSide && page && m_edits) {
            const int counterBefore = page->nameCounter;
            page->nameCounter += 1;
            auto selection = std::make_unique<Selection>(text::kSelectionPrefix + QString::number(page->nameCounter),
                                                         areaTextOf(*shape));
            shape->tag = selection.get();
            selection->shape = shape;
            m_edits->addDrawnSelection(*page, std::move(selection), counterBefore);
            if (m_pages)
                m_pages->UpdateDefaultSelectionCombo(page);
            // The new rectangle is picked, in the list too, so that naming it or giving it an action
            // needs no further click.
            if (m_selections) {
                m_selections->ShowPageSelections(page);
                m_selections->SelectSelection(shape->tag);
            }
        } else {
            m_shapes.removeAll(shape);
            delete shape;
            m_currentShape = nullptr;
        }
    }
    m_drawing = false;
    hideGuides();
}

// --- moving a rectangle ----------------------------------------------------------------------
void TMainForm::ShapeMouseDown(RShape* shape, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        togglePicked(shape); // adds or removes it; nothing moves
        return;
    }
    // A press on one of several picked rectangles moves them all; elsewhere it picks that one alone.
    const bool group = m_picked.size() > 1 && m_picked.contains(shape);
    if (!group) {
        clearMultiPick();
        if (m_currentShape && m_currentShape->anchorsShown())
            m_currentShape->HideAnchors();
        m_currentShape = shape;
    }
    shape->raise();
    m_moving = true;
    const QPoint p = event->position().toPoint();
    m_pressX = p.x();
    m_pressY = p.y();
    beginShapeDrag(shape, p);
}

void TMainForm::ShapeMouseMove(RShape* shape, QMouseEvent* event)
{
    if (m_crosshairShown)
        ShowCrosshair(false);
    if (!(event->buttons() & Qt::LeftButton) || !m_moving || shape != m_grabbed)
        return;
    // The grabbed point stays under the pointer; the rectangles stay inside the picture.
    dragShapes(shape, event->position().toPoint(), event->modifiers());
}

void TMainForm::ShapeMouseUp(RShape* shape, QMouseEvent* event)
{
    Q_UNUSED(event);
    // Any release ends the move, and the selections take the places the rectangles were left at.
    finishMove(shape);
}

void TMainForm::finishMove(RShape* shape)
{
    if (m_moving && shape && shape == m_grabbed) {
        m_moving = false;
        const bool group = m_picked.size() > 1;
        const bool moved = endShapeDrag();
        if (group && !moved) {
            // A click on one of several picked rectangles picks it alone.
            clearMultiPick();
            if (m_currentShape && m_currentShape != shape && m_currentShape->anchorsShown())
                m_currentShape->HideAnchors();
            m_currentShape = shape;
        }
        if (!group || !moved) {
            if (!shape->anchorsShown())
                shape->ShowAnchors();
            Selection* selection = shape->tag;
            if (selection && m_selections)
                m_selections->SelectSelection(selection); // picks it in the list and calls SelectShape back
            if (selection && m_edits) {
                const QString area = areaTextOf(*shape);
                if (area != selection->area)
                    m_edits->setArea(*selection, area, text::kMoveRectangle);
            }
        }
    }
    m_moving = false;
}

void TMainForm::nudgeCurrentShape(int dx, int dy, bool continuesRun)
{
    RShape* shape = m_currentShape;
    if (!shape || !shape->tag || !m_edits)
        return;
    const QRect pic = pictureRect();
    const QRect b = shape->bounds();
    const int left = qBound(pic.left(), b.x() + dx, qMax(pic.left(), pic.left() + pic.width() - b.width()));
    const int top = qBound(pic.top(), b.y() + dy, qMax(pic.top(), pic.top() + pic.height() - b.height()));
    if (left == b.x() && top == b.y())
        return;
    shape->setBounds(QRect(left, top, b.width(), b.height()));
    shape->placeAnchors();
    m_edits->setArea(*shape->tag, areaTextOf(*shape), text::kNudgeRectangle, continuesRun);
}

// --- popup menu ------------------------------------------------------------------------------
void TMainForm::ShapeContextPopup(RShape* shape, QPoint inShape)
{
    // A right press during a move: the popup takes the mouse and the release never comes here.
    finishMove(m_grabbed);
    // On one of several picked rectangles the menu acts on them all.
    if (!(m_picked.size() > 1 && m_picked.contains(shape))) {
        clearMultiPick();
        if (m_currentShape && m_currentShape->anchorsShown())
            m_currentShape->HideAnchors();
        m_currentShape = shape;
    }
    refreshArrangeMenu();

    const int rows = m_pages ? m_pages->pageCount() : 0;
    QAction* moveTo = m_moveToPageMenu->menuAction();
    moveTo->setEnabled(rows > 1);
    if (rows > 1) {
        m_moveToPageMenu->clear();
        qDeleteAll(m_moveToPageMenu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
        auto* group = new QActionGroup(m_moveToPageMenu); // owned by the menu, replaced at the next popup
        group->setExclusive(true);
        Page* current = currentPage();
        for (int i = 0; i < rows; ++i) {
            Page* page = m_pages->pageAt(i);
            // An ampersand in a page name is shown as itself, never taken as an accelerator.
            QString caption = TPageViewerForm::PageItemText(*page);
            caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
            QAction* item = m_moveToPageMenu->addAction(caption);
            item->setCheckable(true);
            item->setActionGroup(group);
            item->setChecked(page == current);
            item->setEnabled(page != current);
            connect(item, &QAction::triggered, this, [this, page] { OnChangePageSelectionClick(page); });
        }
    }
    m_shapePopUp->popup(shape->mapToGlobal(inShape));
}

QString TMainForm::deletedText(const QList<const Selection*>& selections)
{
    // One undo step brings it all back; the status line says what went, actions included, since a
    // selection's actions are not in sight when it is deleted from the picture.
    qsizetype actions = 0;
    for (const Selection* s : selections)
        actions += qsizetype(s->actions.size());
    QString text = selections.size() == 1 ? QStringLiteral("Deleted \"%1\"").arg(selections.front()->name)
                                          : QStringLiteral("Deleted %1 selections").arg(selections.size());
    if (actions > 0 && selections.size() == 1)
        text += actions == 1 ? QStringLiteral(" with its action") : QStringLiteral(" with its %1 actions").arg(actions);
    else if (actions > 0)
        text += actions == 1 ? QStringLiteral(" with 1 action") : QStringLiteral(" with %1 actions").arg(actions);
    return text + QStringLiteral(" (Undo brings it back)");
}

void TMainForm::Delete1Click()
{
    if (m_picked.size() > 1) {
        deletePicked();
        return;
    }
    RShape* shape = m_currentShape;
    if (!shape)
        return;
    Page* page = currentPage();
    if (!page || !m_edits) {
        m_shapes.removeAll(shape);
        delete shape;
    } else {
        const int index = shape->tag ? m_edits->selectionIndex(page, shape->tag) : -1;
        if (index >= 0) {
            const QString what = deletedText({shape->tag});
            m_edits->deleteSelection(*page, index); // takes the rectangle off the picture
            showStatusMessage(what);
        } else {
            m_shapes.removeAll(shape);
            delete shape;
        }
        if (m_selections)
            m_selections->ShowPageSelections(page);
        if (m_pages)
            m_pages->UpdateDefaultSelectionCombo(page);
    }
    m_currentShape = nullptr;
}

void TMainForm::OnChangePageSelectionClick(Page* target)
{
    if (m_picked.size() > 1) {
        movePickedToPage(target);
        return;
    }
    RShape* shape = m_currentShape;
    Page* page = currentPage();
    if (!shape || !page || !target || !m_edits || !shape->tag)
        return;
    const int index = m_edits->selectionIndex(page, shape->tag);
    if (index < 0)
        return;
    m_edits->moveSelectionToPage(*page, index, *target); // the rectangle goes; the selection keeps its area
    m_currentShape = nullptr;
    if (m_selections)
        m_selections->ShowPageSelections(page);
    if (m_pages)
        m_pages->UpdateDefaultSelectionCombo(page);
}
