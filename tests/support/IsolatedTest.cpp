#include "IsolatedTest.h"

#include <QDir>

#include "platform/Clock.h"
#include "platform/Device.h"
#include "platform/UserDefaults.h"

namespace grinsley::testing {

namespace {
constexpr std::pair<const char*, const char*> folders[] = {
    {"HOME", ""}, {"XDG_CONFIG_HOME", "/.config"}, {"XDG_CACHE_HOME", "/.cache"}, {"XDG_DATA_HOME", "/.local/share"}};
}

void IsolatedTest::SetUp() {
    ASSERT_TRUE(_root.isValid());
    for (const auto& [name, sub] : folders) {
        _saved.emplace_back(name, qgetenv(name));
        const QString path = _root.path() + QLatin1String(sub);
        QDir().mkpath(path);
        qputenv(name, path.toLocal8Bit());
    }
    platform::UserDefaults::resetStandard();
}

void IsolatedTest::TearDown() {
    for (const auto& [name, value] : _saved)
        qputenv(name, value);
    _saved.clear();
    platform::UserDefaults::resetStandard();
    platform::Clock::setSource({});
    platform::Device::setIdiom(std::nullopt);
}

} // namespace grinsley::testing
