#include "workspace/helpform.h"

#include <QDesktopServices>
#include <QFile>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kHelpCaption = QStringLiteral("VazoVevoz Help");
const QString kHelpResource = QStringLiteral(":/help/help.md");
} // namespace

THelpForm::THelpForm(QWidget* parent) : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(kHelpCaption);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to web pages open in the browser; the README's links to other files of the source tree
    // lead nowhere here, so they do nothing rather than blank the page.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            QDesktopServices::openUrl(url);
    });
    m_browser->setMarkdown(helpText());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
}

QString THelpForm::helpText()
{
    QFile file(kHelpResource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

THelpForm* THelpForm::showFor(QWidget* owner)
{
    auto* help = owner->findChild<THelpForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (!help) {
        help = new THelpForm(owner); // owned by the owner, kept for the next time
        // A text column of comfortable width, as tall as the screen allows, beside the owner's
        // centre and wholly on its screen.
        const QScreen* screen = owner->screen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const QSize size(std::min(760, area.width() * 9 / 10), std::min(720, area.height() * 8 / 10));
        QRect at(QPoint(), size);
        at.moveCenter(owner->frameGeometry().center());
        at.moveLeft(std::clamp(at.left(), area.left(), area.right() - size.width()));
        at.moveTop(std::clamp(at.top(), area.top() + 40, std::max(area.top() + 40, area.bottom() - size.height())));
        help->setGeometry(at);
    }
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}
