#include "HelpWindow.h"

#include "Cp1252.h"
#include "Languages.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace zt40 {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    resize(680, 560);

    const auto button = [this](const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        return b;
    };
    back_ = button("HelpBack", QStyle::SP_ArrowBack);
    forward_ = button("HelpForward", QStyle::SP_ArrowForward);
    contents_ = button("HelpContents", QStyle::SP_DirHomeIcon);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName("HelpBrowser");
    // Links to other sites go to the desktop's browser.
    browser_->setOpenExternalLinks(true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(back_);
    bar->addWidget(forward_);
    bar->addWidget(contents_);
    bar->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser_);

    connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents_, &QToolButton::clicked, this,
            [this] { browser_->setSource(QUrl::fromLocalFile(contentsPage_)); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(browser_->documentTitle()); });
}

QString HelpWindow::contentsPage(const QString& dataDirectory, int language) {
    const Language* entry = languageEntry(language);
    const char* folder = entry != nullptr ? entry->helpFolder : Languages[0].helpFolder;
    return dataDirectory + QLatin1String(folder) + QStringLiteral("index.html");
}

bool HelpWindow::showHelp(const QString& dataDirectory, int language) {
    const QString page = contentsPage(dataDirectory, language);
    if (!QFileInfo::exists(page))
        return false;
    setTexts(language);
    if (page != contentsPage_) {
        // Another language: its own pages, with a history of their own.
        contentsPage_ = page;
        browser_->setSource(QUrl::fromLocalFile(page));
        browser_->clearHistory();
    }
    show();
    raise();
    activateWindow();
    return true;
}

void HelpWindow::setTexts(int language) {
    const HelpTexts& t = helpTexts(language);
    back_->setText(platform::fromCp1252(t.back));
    forward_->setText(platform::fromCp1252(t.forward));
    contents_->setText(platform::fromCp1252(t.contents));
}

} // namespace zt40
