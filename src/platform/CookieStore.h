#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QUrl>

namespace grinsley::platform {

// The process's one cookie store, shared by everything that talks HTTP for the user (the social client's
// requests and its web pages), so that a logout clears the cookies everywhere at once. Main thread only.
class CookieStore : public QNetworkCookieJar {
    Q_OBJECT
public:
    static CookieStore& shared();

    // The cookies a request to the URL would carry.
    QList<QNetworkCookie> cookiesForUrl(const QUrl& url) const override;
    bool deleteCookie(const QNetworkCookie& cookie) override;
    bool insertCookie(const QNetworkCookie& cookie) override;

signals:
    void cookieRemoved(const QNetworkCookie& cookie);
    void cookieAdded(const QNetworkCookie& cookie);

private:
    CookieStore() = default;
};

} // namespace grinsley::platform
