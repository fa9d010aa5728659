#pragma once

#include <atomic>
#include <mutex>

#include <QString>
#include <QUrl>

namespace grinsley {

// Counts the uses of each application version in the user defaults and, once the program has been installed
// long enough and used often enough, asks the user once per version to rate it. Every report counts and
// checks on a thread of its own and returns at once; only the alert runs on the main thread.
class RatingPrompt {
public:
    // Where the prompt sends the user and what it fetches to see that the internet answers.
    struct Configuration {
        int appStoreId = 418263951;
        QString reviewHost = QStringLiteral("apps.grinsley.example");
        QUrl testConnectionUrl = QUrl(QStringLiteral("http://www.example.com/"));
    };

    static constexpr double SECONDS_BEFORE_PROMPT = 259200;        // three days since the first use
    static constexpr int USES_BEFORE_PROMPT = 7;                   // the use count must exceed this
    static constexpr int SIGNIFICANT_EVENTS_BEFORE_PROMPT = -1;    // the event count must exceed this
    static constexpr double SECONDS_BEFORE_REMINDING = 86400;      // a day after "Remind Me Later"
    static constexpr int TEST_CONNECTION_TIMEOUT_MS = 20000;

    static RatingPrompt& sharedInstance();

    // Reports from the application (main thread); each starts its own thread and returns at once.
    static void appLaunched();
    static void appLaunched(bool canPromptForRating);
    static void appEnteredForeground(bool canPromptForRating);
    static void userDidSignificantEvent(bool canPromptForRating);

    // The reports' work, as their threads run it.
    void incrementAndRate(bool canPromptForRating);
    void incrementSignificantEventAndRate(bool canPromptForRating);

    void incrementUseCount();
    void incrementSignificantEventCount();
    bool ratingConditionsHaveBeenMet() const;
    bool connectedToNetwork() const;
    // Main thread. Shows nothing while an earlier rating alert is still open.
    void showRatingAlert();
    // The alert's answer: 0 "No Thanks", 1 "Rate ...", 2 "Remind Me Later".
    void alertViewClickedButtonAtIndex(int buttonIndex);

    static QUrl reviewLink();
    static Configuration configuration();
    static void setConfiguration(Configuration configuration);

    // Reports whose threads have not finished yet (tests wait for none before looking).
    static int reportsInFlight() { return _reportsInFlight.load(); }
    bool isAlertOpen() const { return _alertOpen; }

private:
    RatingPrompt() = default;
    enum class Counter { Use, SignificantEvent };
    void increment(Counter counter);
    static void startReport(void (RatingPrompt::*work)(bool), bool canPromptForRating);
    void rateIfConditionsMet(bool canPromptForRating);

    // Makes each read-increment-write one step, so that overlapping reports both count.
    std::mutex _countMutex;
    bool _alertOpen = false; // main thread only
    static inline std::atomic<int> _reportsInFlight{0};
};

} // namespace grinsley
