#pragma once
// One client connection as the I/O thread holds it. Only the I/O thread touches it; workers reach
// it through its key, which (unlike the 16-bit wire id) is never reused, or write to its outlet.

#include "foundation/UXVersion.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class TXSerialQueue;
class TXServerSession;

// The sending half of a connection, shared with the workers: a session writes its reply to the
// socket itself instead of waking the I/O thread for it. fd is -1 once the connection is closed.
struct TXServerOutlet {
    std::mutex mutex;
    int fd = -1;
    uint16_t id = 0;
    std::string out;
    size_t outPos = 0;
    bool wantWrite = false; // EPOLLOUT registered
    bool overflow = false;  // the client stopped reading: too much is waiting to be sent
    uint16_t sendSeq = 1;
};

struct TXServerConnection {
    using TXClock = std::chrono::steady_clock;

    uint64_t key = 0;
    uint16_t id = 0;
    int fd = -1;
    std::string peer;

    std::string in; // received bytes not yet taken apart
    std::shared_ptr<TXServerOutlet> outlet;

    uint16_t recvSeq = 1;
    TXClock::time_point lastReceived;
    TXClock::time_point nextKeepAlive;

    std::set<std::string> logins; // upper-cased configuration names that passed CHECK
    std::map<int32_t, std::shared_ptr<TXServerSession>> sessions; // by SSID
    int32_t nextSsid = 1;
    std::shared_ptr<TXSerialQueue> control; // this connection's engine calls outside sessions
    // By upper-cased configuration name: the version last reported to this connection, and the hash of
    // the script of its last UPGRADEEND (remembered with the version its SETVERSION stores).
    std::map<std::string, TXVersion> seenVersions;
    std::map<std::string, std::string> endedScripts;
};
