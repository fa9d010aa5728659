#include "UrlOpener.h"

#include <QDesktopServices>

namespace grinsley::platform {

namespace {
UrlOpener::Handler& handler() {
    static UrlOpener::Handler h;
    return h;
}
} // namespace

bool UrlOpener::open(const QUrl& url) { return handler() ? handler()(url) : QDesktopServices::openUrl(url); }

void UrlOpener::setHandler(Handler h) { handler() = std::move(h); }

} // namespace grinsley::platform
