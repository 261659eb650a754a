#pragma once

#include <QIcon>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

class QPushButton;

// The rectangles the button finder proposes, shown over the picture as dashed outlines until the
// author decides: "Accept all", or click proposals to choose them and "Accept chosen", or "Cancel"
// (also Escape). Covers the picture while shown, so a click chooses instead of drawing a rectangle.
// Follows the picture when the window is fitted to another size.
class ButtonProposals : public QWidget
{
    Q_OBJECT
public:
    // `proposals` in picture coordinates; `picture` is the widget that shows the picture, a sibling.
    ButtonProposals(QWidget* picture, std::vector<QRect> proposals, QWidget* parent);

    const std::vector<QRect>& proposals() const { return m_proposals; }
    std::vector<QRect> chosen() const;
    bool isChosen(int index) const { return m_chosen.at(size_t(index)); }
    // The proposal under a point of the picture (the smallest, where they nest), or -1.
    int proposalAt(QPoint inPicture) const;
    // Chooses a proposal, or leaves it again.
    void toggle(int index);

    void acceptAll();
    void acceptChosen();
    void cancel();

signals:
    // The author's answer; the window that showed the proposals removes them.
    void accepted(const std::vector<QRect>& rects);
    void cancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followPicture();
    void placeButtons();

    QWidget* m_picture;
    std::vector<QRect> m_proposals;
    std::vector<bool> m_chosen;
    QWidget* m_bar = nullptr;
    QPushButton* m_acceptChosen = nullptr;
};

// The caption of the commands, also the text of their undo step.
inline const QString kFindButtonsCaption = QStringLiteral("Find buttons");

// The icon of the "Find buttons" commands: a dashed outline around a button.
QIcon findButtonsIcon();
