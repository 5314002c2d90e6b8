// The program's own help window, for desktops where no program opens the .chm help files:
// the same pages, installed beside them (help/de, help/en), in a browser with back, forward
// and contents.
#pragma once

#include <QWidget>

class QTextBrowser;
class QToolButton;

namespace zt40 {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the contents page of a language's help from the data directory and brings the
    // window to the front. False, and nothing shown, when the page is missing.
    bool showHelp(const QString& dataDirectory, int language);

    // The contents page of a language: German has its own pages, English and French share the
    // English ones, as with the .chm files.
    static QString contentsPage(const QString& dataDirectory, int language);

    QTextBrowser* browser() const { return browser_; }

private:
    void setTexts(int language);

    QTextBrowser* browser_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* forward_ = nullptr;
    QToolButton* contents_ = nullptr;
    QString contentsPage_;
};

} // namespace zt40
