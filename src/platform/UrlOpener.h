#pragma once

#include <functional>

#include <QUrl>

namespace grinsley::platform {

// Hands a URL to the program the desktop has for it (the browser for web pages), leaving this program.
class UrlOpener {
public:
    using Handler = std::function<bool(const QUrl&)>;

    // True when the desktop took the URL: a web page always (the browser), another scheme only when a program is
    // registered for it.
    static bool open(const QUrl& url);
    static bool hasHandlerFor(const QString& scheme);
    // Tests install a handler of their own; an empty handler is the desktop's.
    static void setHandler(Handler handler);
};

} // namespace grinsley::platform
