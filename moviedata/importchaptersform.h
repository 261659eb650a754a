#pragma once

#include <QDialog>
#include <QString>

#include "document/model.h"

class QPlainTextEdit;

// The chapter list as text, one chapter a line: number, "=", first frame, one space, name.
QString chaptersToText(const OwnedList<Chapter>& chapters);
// Reads chapters from such text. A line without "=", or without a space after it, is skipped; the
// number before "=" is ignored (chapters are numbered by their order); nothing is trimmed.
OwnedList<Chapter> chaptersFromText(const QString& text);

// The chapter import dialog: a text area where the user pastes or edits a chapter list.
class TImportChaptersForm : public QDialog
{
    Q_OBJECT
public:
    explicit TImportChaptersForm(QWidget* parent = nullptr);

    QString chaptersText() const;
    void setChaptersText(const QString& text);

public slots:
    void bttOKClick();
    void bttCancelClick();

private:
    QPlainTextEdit* ChaptersMemo = nullptr;
};
