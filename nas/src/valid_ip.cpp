// NasApiGetValidIP: the connect race alone. Inside the library the race's outcome is used
// directly, so its failure value never stands in for an address.
#include "call_deadline.h"
#include "nasapi.h"
#include "netconfig.h"
#include "transport.h"

using namespace nas;

uint32_t NasApiGetValidIP(const uint32_t addrs[3]) {
    CallDeadline deadline;
    if (!addrs) return 0;
    auto config = CurrentNetConfig();
    RaceResult race = ConnectRace(addrs, config->tcpPort, config->connectRaceMs);
    switch (race.outcome) {
    case RaceOutcome::Won:
        return race.address;
    case RaceOutcome::NoWinner:
        return 0;
    case RaceOutcome::Failed:
        break;
    }
    return 0xFFFFFFFFu;
}
