#include "unitpresence.h"

std::optional<bool> UnitPresence::polled(Result result)
{
    switch (result) {
    case Result::Ok:
    case Result::Exception:
        return become(true);
    case Result::PortError:
        return gone();
    default:
        break;
    }
    if (++misses < MissesForOffline)
        return std::nullopt;
    return become(false);
}

std::optional<bool> UnitPresence::become(bool nowOnline)
{
    if (nowOnline)
        misses = 0;
    if (online == nowOnline)
        return std::nullopt;
    online = nowOnline;
    return nowOnline;
}
