#include "TallyUpload.h"

#include <atomic>
#include <thread>

#include "TallyHTTPClient.h"
#include "analytics/TallyAPI.h"
#include "analytics/TallySession.h"
#include "analytics/TallyUtil.h"
#include "analytics/ads/TallyAdParser.h"

namespace grinsley {

namespace {
std::atomic<int> inFlight{0};
}

int TallyUpload::uploadsInFlight() { return inFlight.load(); }

void TallyUpload::startThread(void (*upload)()) {
    ++inFlight;
    std::thread([upload] {
        upload();
        --inFlight;
    }).detach();
}

void TallyUpload::sendSessionsToServerForAdCatalog() {
    sendSessionsToServerWithTimeout(false, false, TallyAPI::adCatalogEnabled(), false);
}

void TallyUpload::sendSessionsToServerForSessionPause() {
    sendSessionsToServerWithTimeout(true, false, false, true);
    TallyAPI::stopBackgroundTask();
}

void TallyUpload::sendSessionsToServerForEndOfSession() { sendSessionsToServerWithTimeout(true, false, false, true); }

void TallyUpload::sendSessionsToServerWithTimeout(bool timeout, bool useWebView, bool requestAds,
                                                  bool sendCurrentSession) {
    TallyUtil::guard([&] {
        TallyUtil::log("Tally: Sending sessions to server withTimeout[%1]", timeout);
        // What goes out is taken under the lock; the request itself is made without it.
        QList<QByteArray> sent;
        QByteArray body;
        {
            QMutexLocker lock(&TallySession::storeMutex());
            sent = TallySession::savedSessions();
            QList<TallySession::ReportItem> items(sent.cbegin(), sent.cend());
            if (sendCurrentSession && TallySession::currentSession())
                items.append(TallySession::currentSession()->data());
            body = TallySession::dataForSessions(items, requestAds);
        }
        const int carried = int(sent.size()) + (sendCurrentSession && body.size() ? 1 : 0);
        std::optional<TallyHTTPResponse> response;
        const QString savedResponse = TallyAPI::savedResponseURL();
        if (!savedResponse.isEmpty()) {
            response = TallyHTTPResponse::readFromURL(savedResponse);
        } else {
            response = TallyHTTPClient::sendMethod(
                QStringLiteral("POST"), QUrl(TallyAPI::serverURL()), body,
                {{QStringLiteral("Content-Type"), QStringLiteral("application/octet-stream")}},
                timeout ? PAUSE_TIMEOUT_SECONDS : CREATION_TIMEOUT_SECONDS, useWebView);
            if (response && TallyUtil::isDebugModeUnlocked())
                response->saveToDisk();
        }
        if (timeout)
            return;
        const bool success = response && response->isSuccess();
        QMutexLocker lock(&TallySession::storeMutex());
        TallySession* current = TallySession::currentSession();
        if (success) {
            if (current)
                current->setInternetAvailable(true);
            // Only what was sent leaves the list: sessions saved while the request was in flight stay.
            QList<QByteArray> saved = TallySession::savedSessions();
            for (const QByteArray& block : std::as_const(sent))
                saved.removeOne(block);
            TallySession::setSavedSessions(saved);
            TallySession::setSentSession();
            TallyUtil::log("Tally: Sent %1 session(s).", carried);
        } else {
            if (current)
                current->setInternetAvailable(false);
            TallyUtil::log("Tally: Could not connect to server.");
        }
        lock.unlock();
        if (requestAds) {
            // Parsed outside the store's lock: the answer is the ad parser's alone.
            const std::shared_ptr<TallyAdParser> parser = TallyAdParser::instance();
            parser->setInternetAvailable(success);
            parser->parseData(success ? response->body() : std::nullopt);
        }
    });
}

} // namespace grinsley
