#include "RatingPrompt.h"

#include <thread>

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "platform/AlertView.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/MainThread.h"
#include "platform/Reachability.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"

Q_LOGGING_CATEGORY(lcRating, "grinsley.rating")

namespace grinsley {

namespace {

const QString kCurrentVersion = QStringLiteral("kRatingPromptCurrentVersion");
const QString kFirstUseDate = QStringLiteral("kRatingPromptFirstUseDate");
const QString kUseCount = QStringLiteral("kRatingPromptUseCount");
const QString kSignificantEventCount = QStringLiteral("kRatingPromptSignificantEventCount");
const QString kRatedCurrentVersion = QStringLiteral("kRatingPromptRatedCurrentVersion");
const QString kDeclinedToRate = QStringLiteral("kRatingPromptDeclinedToRate");
const QString kReminderRequestDate = QStringLiteral("kRatingPromptReminderRequestDate");

const QString reviewLinkTemplate = QStringLiteral("https://%1/app/reviews?type=software&id=APP_ID");

QMutex& configurationMutex() {
    static QMutex mutex;
    return mutex;
}
RatingPrompt::Configuration& storedConfiguration() {
    static RatingPrompt::Configuration configuration;
    return configuration;
}

double nowSeconds() { return double(platform::Clock::nowMilliseconds()) / 1000.0; }
double doubleForKey(const QString& key) { return platform::UserDefaults::standard().objectForKey(key).toDouble(); }

// The test connection's reply is not used; it lives on the main thread so that it outlives the report.
void startTestConnection(const QUrl& url) {
    platform::MainThread::post([url] {
        static QNetworkAccessManager* manager = new QNetworkAccessManager(QCoreApplication::instance());
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setTransferTimeout(RatingPrompt::TEST_CONNECTION_TIMEOUT_MS);
        QNetworkReply* reply = manager->get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    });
}

} // namespace

RatingPrompt& RatingPrompt::sharedInstance() {
    static RatingPrompt instance; // made once, under the language's own lock
    return instance;
}

// ---- Reports -------------------------------------------------------------------------------------------

void RatingPrompt::appLaunched() { appLaunched(true); }
void RatingPrompt::appLaunched(bool canPromptForRating) { startReport(&RatingPrompt::incrementAndRate, canPromptForRating); }
void RatingPrompt::appEnteredForeground(bool canPromptForRating) { appLaunched(canPromptForRating); }
void RatingPrompt::userDidSignificantEvent(bool canPromptForRating) {
    startReport(&RatingPrompt::incrementSignificantEventAndRate, canPromptForRating);
}

void RatingPrompt::startReport(void (RatingPrompt::*work)(bool), bool canPromptForRating) {
    RatingPrompt& prompt = sharedInstance();
    ++_reportsInFlight;
    std::thread([&prompt, work, canPromptForRating] {
        (prompt.*work)(canPromptForRating);
        --_reportsInFlight;
    }).detach();
}

void RatingPrompt::incrementAndRate(bool canPromptForRating) {
    incrementUseCount();
    rateIfConditionsMet(canPromptForRating);
}

void RatingPrompt::incrementSignificantEventAndRate(bool canPromptForRating) {
    incrementSignificantEventCount();
    rateIfConditionsMet(canPromptForRating);
}

void RatingPrompt::rateIfConditionsMet(bool canPromptForRating) {
    if (canPromptForRating && ratingConditionsHaveBeenMet() && connectedToNetwork())
        platform::MainThread::post([this] { showRatingAlert(); });
}

// ---- Counting ------------------------------------------------------------------------------------------

void RatingPrompt::incrementUseCount() { increment(Counter::Use); }
void RatingPrompt::incrementSignificantEventCount() { increment(Counter::SignificantEvent); }

void RatingPrompt::increment(Counter counter) {
    std::lock_guard lock(_countMutex);
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    const QString version = platform::Bundle::version();
    QString tracked = defaults.stringForKey(kCurrentVersion);
    if (tracked.isEmpty()) {
        tracked = version;
        defaults.setObject(version, kCurrentVersion);
    }
    const QString& countKey = counter == Counter::Use ? kUseCount : kSignificantEventCount;
    if (tracked == version) {
        if (doubleForKey(kFirstUseDate) == 0)
            defaults.setObject(nowSeconds(), kFirstUseDate);
        defaults.setObject(defaults.integerForKey(countKey) + 1, countKey);
    } else {
        const bool use = counter == Counter::Use;
        defaults.setObject(version, kCurrentVersion);
        defaults.setObject(use ? nowSeconds() : 0.0, kFirstUseDate);
        defaults.setObject(use ? 1 : 0, kUseCount);
        defaults.setObject(use ? 0 : 1, kSignificantEventCount);
        defaults.setObject(false, kRatedCurrentVersion);
        defaults.setObject(false, kDeclinedToRate);
        defaults.setObject(0.0, kReminderRequestDate);
    }
    defaults.synchronize();
}

bool RatingPrompt::ratingConditionsHaveBeenMet() const {
    const platform::UserDefaults& defaults = platform::UserDefaults::standard();
    const double now = nowSeconds();
    if (now - doubleForKey(kFirstUseDate) < SECONDS_BEFORE_PROMPT)
        return false;
    if (defaults.integerForKey(kUseCount) <= USES_BEFORE_PROMPT)
        return false;
    if (defaults.integerForKey(kSignificantEventCount) <= SIGNIFICANT_EVENTS_BEFORE_PROMPT)
        return false;
    if (defaults.boolForKey(kDeclinedToRate) || defaults.boolForKey(kRatedCurrentVersion))
        return false;
    return now - doubleForKey(kReminderRequestDate) >= SECONDS_BEFORE_REMINDING;
}

bool RatingPrompt::connectedToNetwork() const {
    const std::optional<platform::Reachability::Flags> flags = platform::Reachability::flagsForZeroAddress();
    if (!flags) {
        qCWarning(lcRating, "Error. Could not recover network reachability flags");
        return false;
    }
    const bool reachable = *flags & platform::Reachability::Reachable;
    const bool needsConnection = *flags & platform::Reachability::ConnectionRequired;
    const bool transient = *flags & platform::Reachability::TransientConnection;
    const QUrl url = configuration().testConnectionUrl;
    // The test connection exists when its request can be made at all; its answer is never waited for.
    const bool testConnectionCreated = url.isValid() && !url.scheme().isEmpty();
    if (testConnectionCreated)
        startTestConnection(url);
    return ((reachable && !needsConnection) || transient) && testConnectionCreated;
}

// ---- The alert -----------------------------------------------------------------------------------------

void RatingPrompt::showRatingAlert() {
    // Two overlapping reports may both find the conditions met: the user is asked once.
    if (_alertOpen)
        return;
    _alertOpen = true;
    const QString rate = QStringLiteral("Rate %1").arg(platform::Bundle::name());
    platform::AlertView(rate,
                        QStringLiteral("If you like this app, don't forget to take a few seconds to leave a rating. "
                                       "\n\nThanks for using it!"),
                        QStringLiteral("No Thanks"), {rate, QStringLiteral("Remind Me Later")},
                        [this](int index) {
                            _alertOpen = false;
                            alertViewClickedButtonAtIndex(index);
                        })
        .show();
}

void RatingPrompt::alertViewClickedButtonAtIndex(int buttonIndex) {
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    switch (buttonIndex) {
    case 0:
        defaults.setObject(true, kDeclinedToRate);
        defaults.synchronize();
        break;
    case 1: {
        const QUrl link = reviewLink();
        defaults.setObject(true, kRatedCurrentVersion);
        defaults.synchronize();
        platform::UrlOpener::open(link); // its outcome does not matter
        break;
    }
    case 2:
        defaults.setObject(nowSeconds(), kReminderRequestDate);
        defaults.synchronize();
        break;
    default:
        break;
    }
}

// ---- Configuration -------------------------------------------------------------------------------------

QUrl RatingPrompt::reviewLink() {
    const Configuration config = configuration();
    QString link = reviewLinkTemplate.arg(config.reviewHost);
    link.replace(QLatin1String("APP_ID"), QString::number(config.appStoreId));
    return QUrl(link);
}

RatingPrompt::Configuration RatingPrompt::configuration() {
    QMutexLocker lock(&configurationMutex());
    return storedConfiguration();
}

void RatingPrompt::setConfiguration(Configuration configuration) {
    QMutexLocker lock(&configurationMutex());
    storedConfiguration() = std::move(configuration);
}

} // namespace grinsley
