#pragma once

#include <functional>
#include <vector>

#include "platform/MailComposer.h"

namespace grinsley::testing {

// Stands in for the user's mail program: records what it is handed and answers as the test says.
// Installs itself while it lives.
class FakeMailTransport : public platform::MailTransport {
public:
    struct State {
        bool canSend = true;
        platform::MailComposeResult result = platform::MailComposeResult::Sent;
        std::vector<platform::MailMessage> sent;
        // False: the mail program keeps the hand-over waiting; its answer waits in `pending` for the test.
        bool answers = true;
        std::function<void(platform::MailComposeResult)> pending;
    };

    static State& install(); // returns the state of the installed fake
    static void uninstall();

    bool canSendMail() override { return _state->canSend; }
    void send(const platform::MailMessage& message, std::function<void(platform::MailComposeResult)> done) override;

private:
    explicit FakeMailTransport(State* state) : _state(state) {}
    State* _state;
};

} // namespace grinsley::testing
