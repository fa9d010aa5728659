#pragma once

#include <memory>

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace grinsley::testing {

// A test with its own home, config, cache and data folders, and the platform's global choices (clock,
// device kind) back at their defaults afterwards.
class IsolatedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString home() const { return _root.path(); }

private:
    QTemporaryDir _root;
    std::vector<std::pair<const char*, QByteArray>> _saved;
};

} // namespace grinsley::testing
