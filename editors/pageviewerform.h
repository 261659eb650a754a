#pragma once

#include <QWidget>

// The page tool window: the list of menu pages and the properties of one page. It stays above other
// windows and can be docked into the main window as a tab. It also owns the messages of the video.
class TPageViewerForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMinWidth = 240;
    static constexpr int kMinHeight = 300;

    explicit TPageViewerForm(QWidget* parent = nullptr);
};
