#include "editors/selectionsviewerform.h"

namespace {
const QString kCaption = QStringLiteral("Selections");
constexpr int kInitialWidth = 230;
constexpr int kInitialHeight = 437;
} // namespace

TSelectionsViewerForm::TSelectionsViewerForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("SelectionsViewerForm"));
    setWindowTitle(kCaption);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kInitialWidth, kInitialHeight);
}
