#pragma once

#include <functional>
#include <optional>

namespace grinsley::platform {

// Whether the internet can be reached, as the three flags a phone's reachability service reports for the
// zero address. Read on any thread.
class Reachability {
public:
    enum Flag : unsigned {
        TransientConnection = 1,
        Reachable = 2,
        ConnectionRequired = 4,
    };
    using Flags = unsigned;
    // Empty when the flags cannot be read.
    using Source = std::function<std::optional<Flags>()>;

    // The flags now: from Qt's network information where a backend is loaded, else from the machine's
    // network interfaces; empty when neither can tell.
    static std::optional<Flags> flagsForZeroAddress();
    // Loads Qt's network information backend; main thread only, once at start-up (later calls are cheap).
    static void loadBackend();
    // Tests install a source of their own; an empty source is the real service.
    static void setSource(Source source);

    // The flags the machine's interfaces give: reachable when one that is up and not loopback has an
    // address, transient when that one is a point-to-point link. Empty when no interface can be listed.
    static std::optional<Flags> flagsFromInterfaces();
};

} // namespace grinsley::platform
