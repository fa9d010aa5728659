#include "FakeMailTransport.h"

#include "platform/MainThread.h"

namespace grinsley::testing {

namespace {
FakeMailTransport::State& state() {
    static FakeMailTransport::State s;
    return s;
}
} // namespace

FakeMailTransport::State& FakeMailTransport::install() {
    state() = State();
    platform::MailComposer::setTransport(std::unique_ptr<MailTransport>(new FakeMailTransport(&state())));
    return state();
}

void FakeMailTransport::uninstall() { platform::MailComposer::setTransport(nullptr); }

void FakeMailTransport::send(const platform::MailMessage& message, std::function<void(platform::MailComposeResult)> done) {
    _state->sent.push_back(message);
    if (!_state->answers) {
        _state->pending = std::move(done);
        return;
    }
    // A mail program answers later, never inside the call.
    platform::MainThread::post([done, result = _state->result] { done(result); });
}

} // namespace grinsley::testing
