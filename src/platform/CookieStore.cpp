#include "CookieStore.h"

namespace grinsley::platform {

CookieStore& CookieStore::shared() {
    static CookieStore* store = new CookieStore; // lent to network managers, which must not delete it
    return *store;
}

QList<QNetworkCookie> CookieStore::cookiesForUrl(const QUrl& url) const { return QNetworkCookieJar::cookiesForUrl(url); }

bool CookieStore::deleteCookie(const QNetworkCookie& cookie) {
    if (!QNetworkCookieJar::deleteCookie(cookie))
        return false;
    emit cookieRemoved(cookie);
    return true;
}

bool CookieStore::insertCookie(const QNetworkCookie& cookie) {
    if (!QNetworkCookieJar::insertCookie(cookie))
        return false;
    emit cookieAdded(cookie);
    return true;
}

} // namespace grinsley::platform
