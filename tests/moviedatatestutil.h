#pragma once

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <memory>

#include "document/model.h"
#include "moviedata/moviedataform.h"
#include "dialogs/scripteddialogservice.h"

// One project, the scripted dialog service and a movie data dialog on them, as the main window would
// make it. Controls are found by their names, as a user or an accessibility tool sees them.
struct MovieDataFixture
{
    MenuProject project;
    ScriptedDialogService dialogs;
    std::unique_ptr<TMovieDataForm> form;

    MovieDataFixture() { form = std::make_unique<TMovieDataForm>(project, dialogs); }

    template <typename T> T* get(const char* name) const
    {
        T* w = form->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control named %s", name);
        return w;
    }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    QString text(const char* name) const { return edit(name)->text(); }
    void click(const char* name) const { get<QAbstractButton>(name)->click(); }
    QTabWidget* tabs() const { return form->findChild<QTabWidget*>(); }

    // Shows the dialog on the tab holding `widget`, so that list rows have a place to be clicked.
    void showTabOf(QWidget* widget) const
    {
        if (!form->isVisible()) {
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        }
        QTabWidget* t = tabs();
        for (int i = 0; i < t->count(); ++i)
            if (t->widget(i)->isAncestorOf(widget))
                t->setCurrentIndex(i);
    }

    // Clicks the row of a list as the user does (the click selects the row and copies it).
    void clickRow(const char* list, int row) const
    {
        QTreeView* view = get<QTreeView>(list);
        showTabOf(view);
        const QRect rect = view->visualRect(view->model()->index(row, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QStringList row(const char* list, int r) const
    {
        const QAbstractItemModel* m = get<QTreeView>(list)->model();
        QStringList out;
        for (int c = 0; c < m->columnCount(); ++c)
            out << m->index(r, c).data().toString();
        return out;
    }
    int rowCount(const char* list) const { return get<QTreeView>(list)->model()->rowCount(); }
    int selectedRow(const char* list) const
    {
        const auto rows = get<QTreeView>(list)->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.constFirst().row();
    }

    QColor background(const char* name) const { return edit(name)->palette().color(QPalette::Base); }
    QList<Message> messages() const { return dialogs.messages(); }
};

inline Message errorMessage(const QString& text)
{
    return {text, QStringLiteral("Error"), MessageIcon::Error};
}
