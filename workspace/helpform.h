#pragma once

#include <QDialog>

class QTextBrowser;

// The help window: the user parts of the README, made into a help page when the program is built
// and kept inside the program, so the help always matches the program and needs no file beside it.
// It is a window of its own, not modal, so the user can read it while working.
class THelpForm : public QDialog
{
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);

    // The help page, in Markdown.
    static QString helpText();

    // Shows the help window of `owner`: made on first use, then shown again where it was, at the
    // place in the text where the user left it.
    static THelpForm* showFor(QWidget* owner);

private:
    QTextBrowser* m_browser = nullptr;
};
