#pragma once

#include <QWidget>

// The selection tool window: the selections of the current page, their actions and the action maker.
// It stays above other windows and can be docked into the main window as a tab.
class TSelectionsViewerForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 217;
    static constexpr int kMinHeight = 300;

    explicit TSelectionsViewerForm(QWidget* parent = nullptr);
};
