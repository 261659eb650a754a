#include <QApplication>

#include <algorithm>

#include "document/areatext.h"
#include "edits/projectedits.h"
#include "finder/buttonfinder.h"
#include "media/videosource.h"
#include "workspace/buttonproposals.h"
#include "workspace/mainform.h"

// Page > Find buttons: the finder's proposals for the shown page over the picture, and the accepted
// ones as the page's next selections, all in one undo step.
namespace text {
const QString kNoButtonsFound = QStringLiteral("No buttons found");
const QString kAllButtonsCovered = QStringLiteral("Every button found lies under a rectangle already");
const QString kSelectionName = QStringLiteral("Selection-");
} // namespace text

void TMainForm::miFindButtonsClick()
{
    Page* page = currentPage();
    if (!page || !m_edits || picture().isNull())
        return;
    closeProposals();

    std::vector<QRect> found;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int lastFrame = std::min(page->lastFrame, m_video.FrameCount() - 1);
    if (page->backgroundIsVideo && m_video.hasDecoder() && page->firstFrame <= lastFrame) {
        // What stays still over the page's frames; a frame that cannot be decoded is left out.
        found = finder::findButtons(
            m_video.thumbnails(finder::sampleFrames(page->firstFrame, lastFrame, m_video.stream()->keyFrames()),
                               picture().size()));
    } else {
        found = finder::findButtons(picture());
    }
    QApplication::restoreOverrideCursor();

    std::vector<QRect> existing;
    for (const auto& selection : page->selections) {
        if (const std::optional<AreaRect> a = parseArea(selection->area))
            existing.push_back(QRect(a->left, a->top, a->width(), a->height()));
    }
    const std::vector<QRect> offered = finder::withoutOverlaps(found, existing);
    if (offered.empty()) {
        showStatusMessage(found.empty() ? text::kNoButtonsFound : text::kAllButtonsCovered);
        return;
    }
    m_proposals = new ButtonProposals(m_videoImage, offered, m_videoCanvas); // owned by the canvas
    connect(m_proposals, &ButtonProposals::accepted, this,
            [this, page](const std::vector<QRect>& rects) { acceptProposals(page, rects); });
    connect(m_proposals, &ButtonProposals::cancelled, this, [this] { closeProposals(); });
}

ButtonProposals* TMainForm::buttonProposals() const
{
    return m_proposals;
}

void TMainForm::closeProposals()
{
    if (m_proposals) {
        m_proposals->hide();
        m_proposals->deleteLater();
    }
    m_proposals = nullptr;
}

void TMainForm::acceptProposals(Page* page, std::vector<QRect> rects)
{
    closeProposals();
    if (page != currentPage() || !m_edits || rects.empty())
        return; // the page changed meanwhile: its picture is no longer the one the proposals were for
    // Numbered in reading order, top to bottom and left to right, as the author reads the page.
    std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) {
        return std::make_pair(a.top(), a.left()) < std::make_pair(b.top(), b.left());
    });
    m_edits->beginMacro(kFindButtonsCaption);
    for (const QRect& r : rects) {
        const int counterBefore = page->nameCounter;
        page->nameCounter += 1;
        m_edits->addDrawnSelection(*page,
                                   std::make_unique<Selection>(text::kSelectionName + QString::number(page->nameCounter),
                                                               formatArea(r.left(), r.top(), r.left() + r.width(),
                                                                          r.top() + r.height())),
                                   counterBefore);
    }
    m_edits->endMacro();
    remakeShapes(*page);
}
