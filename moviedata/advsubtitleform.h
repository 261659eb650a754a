#pragma once

#include <QDialog>
#include <QString>

#include "document/model.h"

class QComboBox;
class QLabel;
class QLineEdit;

// The advanced options of one subtitle file: its format and the characters and corrections the player
// applies when it loads the file.
class TAdvSubtitleForm : public QDialog
{
    Q_OBJECT
public:
    explicit TAdvSubtitleForm(QWidget* parent = nullptr);

    // Shows the subtitle's values. The "Format" text must already be known to be empty or an integer.
    void showSubtitle(const QString& number, const SubtitleTrack& track, int formatIndex);
    // Writes the dialog's values into the subtitle's six option fields.
    void storeOptions(SubtitleTrack& track) const;

public slots:
    void bttOKClick();
    void bttCancelClick();

private:
    QLabel* lbNumber = nullptr;
    QLabel* lbShortName = nullptr;
    QLabel* lbFullName = nullptr;
    QLabel* lbFile = nullptr;
    QComboBox* cbFormat = nullptr;
    QLineEdit* edOpenBracket = nullptr;
    QLineEdit* edCloseBracket = nullptr;
    QLineEdit* edLineSeparator = nullptr;
    QLineEdit* edOffset = nullptr;
    QLineEdit* edMultiplier = nullptr;
};
