#include "app/aboutform.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Vireo Player Vazo Vevoz");
// The version the build gives the program, the one `--version` prints.
const QString kVersion = QStringLiteral("Version " VAZO_VERSION);

// The picture of the About box, drawn here so that the program needs no image files: a strip of
// film with a menu page on its middle frame, and a pointer on the page's selected button.
class AboutPicture : public QWidget
{
public:
    explicit AboutPicture(QWidget* parent) : QWidget(parent) { setFixedSize(150, 200); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF strip(25, 0, 100, 200);
        p.fillRect(strip, QColor(30, 30, 36));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(235, 235, 225));
        for (int y = 6; y < 200; y += 16) {
            p.drawRoundedRect(QRectF(30, y, 8, 9), 2, 2);
            p.drawRoundedRect(QRectF(112, y, 8, 9), 2, 2);
        }
        // Three frames, the middle one holding a menu page.
        const QRectF frames[] = {{44, 8, 62, 52}, {44, 74, 62, 52}, {44, 140, 62, 52}};
        for (const QRectF& f : frames) {
            QLinearGradient sky(f.topLeft(), f.bottomLeft());
            sky.setColorAt(0, QColor(60, 110, 190));
            sky.setColorAt(1, QColor(20, 40, 90));
            p.setBrush(sky);
            p.drawRect(f);
        }
        const QRectF page = frames[1];
        p.setBrush(QColor(250, 200, 60));
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(QRectF(page.left() + 8, page.top() + 8 + i * 14, 46, 9), 3, 3);
        p.setPen(QPen(QColor(255, 80, 60), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(page.left() + 6, page.top() + 20, 50, 13));
        // The pointer.
        QPainterPath arrow;
        arrow.moveTo(90, 108);
        arrow.lineTo(90, 126);
        arrow.lineTo(95, 121);
        arrow.lineTo(99, 130);
        arrow.lineTo(102, 128);
        arrow.lineTo(98, 120);
        arrow.lineTo(104, 119);
        arrow.closeSubpath();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    }
};

} // namespace

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(kTitle);
    setFixedSize(kWidth, kHeight);
    setModal(true);

    auto* picture = new AboutPicture(this); // owned by the dialog
    picture->setObjectName(QStringLiteral("imgAbout"));
    picture->move(20, 22);

    auto* title = new QLabel(kTitle, this);
    title->setObjectName(QStringLiteral("lbTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setWordWrap(true);
    title->setGeometry(190, 60, 195, 70);

    auto* version = new QLabel(kVersion, this);
    version->setObjectName(QStringLiteral("lbVersion"));
    version->setGeometry(190, 140, 195, 24);

    for (QWidget* child : {static_cast<QWidget*>(picture), static_cast<QWidget*>(title), static_cast<QWidget*>(version)})
        child->installEventFilter(this);
}

void TAboutForm::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    accept();
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::paintEvent(QPaintEvent*)
{
    // Without a window frame the box draws its own border.
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}
