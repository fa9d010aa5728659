#pragma once

namespace grinsley {

// Sends the saved sessions (and at a pause or the end, the current one) to the collection endpoint as one
// report. Only the upload at session creation reads the answer: on success the sessions it carried leave the
// saved list. Nothing the server does (any status, garbage, a reset, silence) throws, blocks the interface
// thread or loses a saved session.
class TallyUpload {
public:
    static constexpr int PAUSE_TIMEOUT_SECONDS = 5;
    static constexpr int CREATION_TIMEOUT_SECONDS = 20;

    static void sendSessionsToServerWithTimeout(bool timeout, bool useWebView, bool requestAds, bool sendCurrentSession);
    // At session creation: the saved sessions, answer read. Runs on the calling thread.
    static void sendSessionsToServerForAdCatalog();
    // At a pause: saved plus current, answer ignored; ends the background task afterwards.
    static void sendSessionsToServerForSessionPause();
    // At the end of a session: saved plus current, answer ignored, on the ending thread.
    static void sendSessionsToServerForEndOfSession();

    // Starts the work on a thread of its own and returns at once.
    static void startThread(void (*upload)());
    // Upload threads still running (tests wait for none; quitting waits a moment for them).
    static int uploadsInFlight();
};

} // namespace grinsley
