// Receives what the program hands to the desktop (QDesktopServices) under the given URL
// schemes, for its lifetime.
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace zt40::test {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    explicit UrlRecorder(QStringList schemes);
    ~UrlRecorder() override;
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }

private:
    QStringList schemes_;
};

} // namespace zt40::test
