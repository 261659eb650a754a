#include "workspace/buttonproposals.h"
#include "workspace/videoimage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace text {
const QString kAcceptAll = QStringLiteral("Accept all");
const QString kAcceptChosen = QStringLiteral("Accept chosen");
const QString kCancel = QStringLiteral("Cancel");
const QString kHint = QStringLiteral("Click the proposals to accept, or accept all");
} // namespace text

ButtonProposals::ButtonProposals(QWidget* picture, std::vector<QRect> proposals, QWidget* parent)
    : QWidget(parent), m_picture(picture), m_proposals(std::move(proposals)), m_chosen(m_proposals.size(), false)
{
    setObjectName(QStringLiteral("ButtonProposals"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(text::kHint);

    m_bar = new QWidget(this); // owned by the overlay
    m_bar->setObjectName(QStringLiteral("ProposalsBar"));
    m_bar->setAutoFillBackground(true);
    m_bar->setCursor(Qt::ArrowCursor);
    auto* layout = new QHBoxLayout(m_bar); // owned by the bar
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    auto button = [&](const char* name, const QString& caption, void (ButtonProposals::*click)()) {
        auto* b = new QPushButton(caption, m_bar); // owned by the bar
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, click);
        layout->addWidget(b);
        return b;
    };
    button("bttAcceptAll", text::kAcceptAll, &ButtonProposals::acceptAll);
    m_acceptChosen = button("bttAcceptChosen", text::kAcceptChosen, &ButtonProposals::acceptChosen);
    m_acceptChosen->setEnabled(false);
    button("bttCancelProposals", text::kCancel, &ButtonProposals::cancel);

    m_picture->installEventFilter(this);
    followPicture();
    show();
    raise();
    setFocus();
}

std::vector<QRect> ButtonProposals::chosen() const
{
    std::vector<QRect> rects;
    for (size_t i = 0; i < m_proposals.size(); ++i)
        if (m_chosen[i])
            rects.push_back(m_proposals[i]);
    return rects;
}

int ButtonProposals::proposalAt(QPoint inPicture) const
{
    int best = -1;
    for (size_t i = 0; i < m_proposals.size(); ++i) {
        const QRect& r = m_proposals[i];
        if (r.contains(inPicture)
            && (best < 0 || qint64(r.width()) * r.height() < qint64(m_proposals[size_t(best)].width()) * m_proposals[size_t(best)].height()))
            best = int(i);
    }
    return best;
}

void ButtonProposals::toggle(int index)
{
    if (index < 0 || size_t(index) >= m_chosen.size())
        return;
    m_chosen[size_t(index)] = !m_chosen[size_t(index)];
    m_acceptChosen->setEnabled(std::find(m_chosen.begin(), m_chosen.end(), true) != m_chosen.end());
    update();
}

void ButtonProposals::acceptAll()
{
    emit accepted(m_proposals);
}

void ButtonProposals::acceptChosen()
{
    const std::vector<QRect> rects = chosen();
    if (!rects.empty())
        emit accepted(rects);
}

void ButtonProposals::cancel()
{
    emit cancelled();
}

void ButtonProposals::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // Proposals are in picture pixels; the picture may be shown zoomed.
    const auto* zoomed = qobject_cast<const VideoImageWidget*>(m_picture);
    for (size_t i = 0; i < m_proposals.size(); ++i) {
        const QRect r = (zoomed ? zoomed->toShown(m_proposals[i]) : m_proposals[i]).adjusted(0, 0, -1, -1);
        if (m_chosen[i]) {
            // Chosen: tinted and outlined solid, so the choice reads at a glance.
            p.fillRect(r, QColor(255, 220, 0, 70));
            p.setPen(QPen(QColor(255, 220, 0), 2));
            p.drawRect(r.adjusted(1, 1, 0, 0));
        } else {
            // Black under white dashes stays visible on any picture.
            p.setPen(QPen(Qt::black, 1));
            p.drawRect(r);
            p.setPen(QPen(Qt::white, 1, Qt::DashLine));
            p.drawRect(r);
        }
    }
}

void ButtonProposals::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
    {
        const auto* zoomed = qobject_cast<const VideoImageWidget*>(m_picture);
        toggle(proposalAt(zoomed ? zoomed->toPicture(event->position()) : event->position().toPoint()));
    }
}

void ButtonProposals::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        cancel();
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        acceptChosen();
    else
        QWidget::keyPressEvent(event);
}

bool ButtonProposals::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            followPicture();
            break;
        case QEvent::ZOrderChange: // fitting the window raises the picture
            raise();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ButtonProposals::followPicture()
{
    setGeometry(m_picture->geometry());
    placeButtons();
}

// The buttons go into the first corner of the picture where they hide no proposal.
void ButtonProposals::placeButtons()
{
    const QSize size = m_bar->sizeHint();
    m_bar->resize(size);
    const int right = std::max(0, width() - size.width());
    const int bottom = std::max(0, height() - size.height());
    const QPoint corners[] = {{right, 0}, {right, bottom}, {0, bottom}, {0, 0}};
    QPoint place = corners[0];
    for (const QPoint& c : corners) {
        const QRect r(c, size);
        if (std::none_of(m_proposals.begin(), m_proposals.end(), [&](const QRect& p) { return p.intersects(r); })) {
            place = c;
            break;
        }
    }
    m_bar->move(place);
}

QIcon findButtonsIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.fillRect(QRect(4, 6, 8, 4), QColor(60, 90, 160));
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawRect(QRect(1, 3, 13, 9));
    p.end();
    return QIcon(pixmap);
}
