#pragma once

#include <QDialog>

class QLabel;

// The About box: a borderless window with a picture, the program's name and its version. A click
// anywhere on it closes it.
class TAboutForm : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 401;
    static constexpr int kHeight = 244;

    explicit TAboutForm(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
