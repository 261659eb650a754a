#include "moviedata/moviedataform.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <ctime>

#include "moviedata/moviedatatexts.h"
#include "moviedata/ownedlistmodel.h"

using namespace moviedatatexts;

TMovieDataForm::TMovieDataForm(MenuProject& project, DialogService& dialogs, QWidget* parent)
    : QDialog(parent), m_project(project), m_dialogs(dialogs),
      m_runModal([](QDialog& d) { return d.exec(); }),
      m_random(static_cast<std::minstd_rand::result_type>(std::time(nullptr)))
{
    setObjectName(QStringLiteral("MovieDataForm"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    auto* baseGroup = new QGroupBox(QStringLiteral(" Base Directory : "), this);
    baseGroup->setObjectName(QStringLiteral("gbBaseDirectory"));
    edBaseDirectory = new QLineEdit(baseGroup);
    edBaseDirectory->setObjectName(QStringLiteral("edBaseDirectory"));
    edBaseDirectory->setReadOnly(true);
    edBaseDirectory->setToolTip(
        QStringLiteral("The folder in which the menu file lies. Every directory of the movie data is "
                       "stored relative to it, and every file chosen must lie in it or below it."));
    auto* bttBrowseBaseDirectory = button("bttBrowseBaseDirectory", QStringLiteral("..."),
                                          QStringLiteral("Choose the base directory"));
    connect(bttBrowseBaseDirectory, &QPushButton::clicked, this, &TMovieDataForm::bttBrowseBaseDirectoryClick);
    auto* baseLayout = new QHBoxLayout(baseGroup);
    baseLayout->addWidget(edBaseDirectory, 1);
    baseLayout->addWidget(bttBrowseBaseDirectory);

    auto* bttOK = button("bttOK", QStringLiteral("&OK"), QString());
    auto* bttCancel = button("bttCancel", QStringLiteral("&Cancel"), QString());
    connect(bttOK, &QPushButton::clicked, this, &TMovieDataForm::bttOKClick);
    connect(bttCancel, &QPushButton::clicked, this, &TMovieDataForm::bttCancelClick);
    auto* okCancel = new QVBoxLayout;
    okCancel->addWidget(bttOK);
    okCancel->addWidget(bttCancel);
    okCancel->addStretch(1);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("pcMovieData"));
    m_tabs->addTab(buildMainTab(), QStringLiteral("&Main"));
    m_tabs->addTab(buildMovieTab(), QStringLiteral("Mo&vie"));
    m_tabs->addTab(buildChaptersTab(), QStringLiteral("C&hapters"));
    m_tabs->addTab(buildMenuTab(), QStringLiteral("M&enu"));
    m_tabs->addTab(buildLanguagesTab(), QStringLiteral("&Languages"));
    m_tabs->addTab(buildSubtitlesTab(), QStringLiteral("S&ubtitles"));
    m_tabs->addTab(buildSpecialsTab(), QStringLiteral("&Specials"));
    m_tabs->setCurrentIndex(0);

    auto* top = new QHBoxLayout;
    top->addWidget(baseGroup, 1);
    top->addLayout(okCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_tabs, 1);

    // The "#" column holds a small number.
    for (QTreeView* view : {lstChapters, lstLanguages, lstSpecials, lstSubtitles})
        view->header()->resizeSection(0, 36);

    // The folder fields are filled by their "..." buttons only: they take no typing and look so, in
    // the window's colour (or the required colours), with an arrow pointer and a word on how to fill them.
    const QList<QLineEdit*> fields = findChildren<QLineEdit*>();
    for (QLineEdit* field : fields) {
        if (!field->isReadOnly())
            continue;
        setFieldBackground(field, palette().color(QPalette::Window));
        field->setCursor(Qt::ArrowCursor);
        field->setPlaceholderText(kChooseWithButton);
    }
    for (QLineEdit* field : {edBaseDirectory, edMainTitle, edMainID, edMovieAVIName})
        setFieldBackground(field, kRequiredEmpty);

    loadFromProject();
    resize(560, 420);
}

TMovieDataForm::~TMovieDataForm() = default;

QString TMovieDataForm::baseDirectoryText() const
{
    // The field shows the project's base directory; the project's own value is read so that a folder
    // set by opening a file counts even when the dialog has not been shown since.
    return m_project.baseDirectory;
}

void TMovieDataForm::setModalRunner(ModalRunner runner)
{
    m_runModal = std::move(runner);
}

int TMovieDataForm::runModal(QDialog& dialog)
{
    return m_runModal(dialog);
}

void TMovieDataForm::loadFromProject()
{
    if (edBaseDirectory->text() != m_project.baseDirectory)
        edBaseDirectory->setText(m_project.baseDirectory);
    // Only fields whose text differs are set, so the cursor of an unchanged field stays where it was.
    for (const auto& [field, value] : m_textBindings) {
        const QString& text = m_project.movieData.*value;
        if (field->text() != text)
            field->setText(text);
    }
    for (const auto& [box, value] : m_checkBindings)
        box->setChecked(m_project.movieData.*value);

    const auto refresh = [this](QTreeView* view, auto* model) {
        const int row = selectedRow(view);
        if (model->refresh() && model->isValidRow(row))
            view->selectionModel()->select(model->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    };
    refresh(lstChapters, m_chapters);
    refresh(lstLanguages, m_languages);
    refresh(lstSpecials, m_specials);
    refresh(lstSubtitles, m_subtitles);
    updateLanguageFilesEnabled();
}

void TMovieDataForm::showEvent(QShowEvent* event)
{
    loadFromProject();
    QDialog::showEvent(event);
    // After the dialog's own choice of the first focus, which would otherwise win.
    if (m_focusOnShow) {
        QTimer::singleShot(0, m_focusOnShow, [field = m_focusOnShow] {
            if (field && field->isEnabled())
                field->setFocus(Qt::OtherFocusReason);
        });
        m_focusOnShow = nullptr;
    }
}

void TMovieDataForm::setRequiredFieldColour(RequiredField field, bool filled)
{
    QLineEdit* edit = nullptr;
    switch (field) {
    case RequiredField::BaseDirectory: edit = edBaseDirectory; break;
    case RequiredField::Title: edit = edMainTitle; break;
    case RequiredField::ID: edit = edMainID; break;
    case RequiredField::MovieAVIName: edit = edMovieAVIName; break;
    }
    if (edit)
        setFieldBackground(edit, filled ? kRequiredFilled : kRequiredEmpty);
}

void TMovieDataForm::colourRequired(QLineEdit* field)
{
    setFieldBackground(field, field->text().isEmpty() ? kRequiredEmpty : kRequiredFilled);
}

void TMovieDataForm::bttOKClick()
{
    if (edBaseDirectory->text().isEmpty()) {
        m_dialogs.showMessage({kNoBaseDirectory, kCaptionError, MessageIcon::Error}, this);
        return;
    }
    accept();
}

void TMovieDataForm::bttCancelClick()
{
    reject();
}

// ----- building blocks ---------------------------------------------------------------------------

void TMovieDataForm::setFieldBackground(QLineEdit* field, const QColor& colour)
{
    QPalette p = field->palette();
    // The same colour whether the field is enabled or not and whether the window is active or not.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Base, colour);
    field->setPalette(p);
}

QColor TMovieDataForm::menuColour() const
{
    return QApplication::palette().color(QPalette::Active, QPalette::Window);
}

QLineEdit* TMovieDataForm::textField(const char* name, QString MovieData::*value, const QString& tip)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setToolTip(tip);
    m_textBindings.emplace_back(field, value);
    // The dialog has no working copy: the project holds what the field shows at every keystroke.
    connect(field, &QLineEdit::textChanged, this, [this, value](const QString& text) {
        m_project.movieData.*value = text;
    });
    return field;
}

QCheckBox* TMovieDataForm::checkField(const char* name, const QString& text, bool MovieData::*value,
                                      const QString& tip)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    m_checkBindings.emplace_back(box, value);
    connect(box, &QCheckBox::toggled, this, [this, value](bool on) { m_project.movieData.*value = on; });
    return box;
}

QLineEdit* TMovieDataForm::rowField(const char* name, const QString& tip)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setToolTip(tip);
    return field;
}

QTreeView* TMovieDataForm::listView(const char* name, const QString& tip)
{
    auto* view = new QTreeView(this);
    view->setObjectName(QLatin1String(name));
    view->setToolTip(tip);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setStretchLastSection(true);
    view->header()->setSectionsMovable(false);
    // The selected row stays plainly visible when the list loses the focus.
    QPalette p = view->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(p);
    view->installEventFilter(this);
    return view;
}

QPushButton* TMovieDataForm::button(const char* name, const QString& text, const QString& tip)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    if (!tip.isEmpty()) {
        b->setToolTip(tip);
        // The "..." buttons are named by their hint for screen readers.
        b->setAccessibleName(tip);
        b->setAccessibleDescription(tip);
    }
    b->setAutoDefault(false);
    return b;
}

QLabel* TMovieDataForm::label(const char* name, const QString& text)
{
    auto* l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    return l;
}

void TMovieDataForm::showField(const QString& field)
{
    const QString section = field.section(QLatin1Char('/'), 0, 0);
    const QString key = field.section(QLatin1Char('/'), 1);
    // The tabs in the order of the file's sections.
    const QStringList sections{QStringLiteral("MAIN"),      QStringLiteral("MOVIE"),     QStringLiteral("CHAPTERS"),
                               QStringLiteral("MENU"),      QStringLiteral("LANGUAGES"), QStringLiteral("SUBTITLES"),
                               QStringLiteral("SPECIALS")};
    const qsizetype tab = sections.indexOf(section);
    if (tab < 0)
        return;
    loadFromProject(); // the lists as the project holds them now, before a row is picked
    m_tabs->setCurrentIndex(int(tab));
    // The keyboard goes to the field itself once the dialog shows (a field is named "ed", its tab and
    // its key, "edMenuStartPage"), or to the first field of a list's entry.
    const QStringList prefixes{QStringLiteral("edMain"),     QStringLiteral("edMovie"),    QString(),
                               QStringLiteral("edMenu"),     QStringLiteral("edLanguage"), QStringLiteral("edSubtitles"),
                               QStringLiteral("edSpecials")};
    const QStringList entries{QString(),
                              QString(),
                              QStringLiteral("edFirstChapterFrame"),
                              QString(),
                              QStringLiteral("edLangShortName"),
                              QStringLiteral("edSubtitlesShortName"),
                              QStringLiteral("edSpecialTitle")};
    bool isNumber = false;
    key.toInt(&isNumber);
    const QString name = isNumber || key == QLatin1String("Primary") ? entries[tab] : prefixes[tab] + key;
    m_focusOnShow = name.isEmpty() ? nullptr : findChild<QWidget*>(name);

    // Languages count from the primary one (0); the other lists from 1.
    bool numbered = false;
    int row = key.toInt(&numbered);
    if (key == QLatin1String("Primary")) {
        row = 0;
        numbered = true;
    } else if (numbered && section != QLatin1String("LANGUAGES")) {
        --row;
    }
    if (!numbered || row < 0)
        return;
    const struct
    {
        QTreeView* view;
        void (TMovieDataForm::*click)();
    } lists[] = {{lstChapters, &TMovieDataForm::lstChaptersClick},
                 {lstLanguages, &TMovieDataForm::lstLanguagesClick},
                 {lstSpecials, &TMovieDataForm::lstSpecialsClick},
                 {lstSubtitles, &TMovieDataForm::lstSubtitlesClick}};
    for (const auto& list : lists) {
        if (m_tabs->widget(int(tab))->isAncestorOf(list.view) && row < list.view->model()->rowCount()) {
            list.view->selectionModel()->select(list.view->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            list.view->setCurrentIndex(list.view->model()->index(row, 0));
            (this->*list.click)();
        }
    }
}

int TMovieDataForm::selectedRow(const QTreeView* view) const
{
    if (!view->selectionModel())
        return -1;
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

bool TMovieDataForm::entryFilled(std::initializer_list<RequiredEntry> entries)
{
    for (const RequiredEntry& entry : entries) {
        if (!entry.field || !entry.field->text().isEmpty())
            continue;
        m_dialogs.showMessage({fillDataCorrectly(entry.label, entry.need), kCaptionError, MessageIcon::Error},
                              this);
        // The user fills the field next, so it gets the focus without a click.
        for (int i = 0; i < m_tabs->count(); ++i) {
            if (m_tabs->widget(i)->isAncestorOf(entry.field))
                m_tabs->setCurrentIndex(i);
        }
        entry.field->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool TMovieDataForm::eventFilter(QObject* watched, QEvent* event)
{
    // Releasing any key in a list copies its selected row into the fields, as a click does, so moving
    // through a list with the arrow keys fills the fields too.
    if (event->type() == QEvent::KeyRelease) {
        if (watched == lstChapters)
            lstChaptersClick();
        else if (watched == lstLanguages)
            lstLanguagesClick();
        else if (watched == lstSpecials)
            lstSpecialsClick();
        else if (watched == lstSubtitles)
            lstSubtitlesClick();
    }
    return QDialog::eventFilter(watched, event);
}
