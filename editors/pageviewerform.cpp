#include "editors/pageviewerform.h"

namespace {
const QString kCaption = QStringLiteral("Pages");
constexpr int kInitialWidth = 250;
constexpr int kInitialHeight = 437;
} // namespace

TPageViewerForm::TPageViewerForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PageViewerForm"));
    setWindowTitle(kCaption);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kInitialWidth, kInitialHeight);
}
