#include "dataserver/UXTCPClientPack.h"

#include "dataserver/UXTCPClientService.h"
#include "foundation/UXData.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

} // namespace

TXTCPClientPack::TXTCPClientPack(QObject* parent) : TXCustomTCPClient(parent) {
    mIdTimer.setSingleShot(true);
    mIdTimer.setInterval(kIdTimeoutMs);
    connect(&mIdTimer, &QTimer::timeout, this, &TXTCPClientPack::OnIdTimer);
}

TXTCPClientPack::~TXTCPClientPack() {
    const auto services = mServices;
    mServices.clear();
    for (TXTCPClientService* s : services)
        s->PackDestroyed(this);
}

void TXTCPClientPack::SendData(uint16_t reserved, std::string_view command, std::string_view service,
                               const TXData& d) {
    const size_t size = std::min(d.Data.size(), size_t(std::max(d.Size, 0)));
    SendText(reserved, command, service, std::string_view(d.Data.data(), size));
}

void TXTCPClientPack::SendText(uint16_t reserved, std::string_view command, std::string_view service,
                               std::string_view text) {
    std::lock_guard lock(SendLock());
    const bool wasEmpty = SendQueue().Empty();
    AppendPackFrame(SendQueue(), mConnectionId, reserved, service, command, text, mSendSeq);
    ++mSendSeq;
    QueueAppended(wasEmpty);
}

void TXTCPClientPack::RegisterService(TXTCPClientService* service) {
    if (service && std::find(mServices.begin(), mServices.end(), service) == mServices.end())
        mServices.push_back(service);
}

void TXTCPClientPack::UnregisterService(TXTCPClientService* service) {
    std::erase(mServices, service);
}

void TXTCPClientPack::DoConnect() {
    {
        std::lock_guard lock(SendLock());
        mSendSeq = 1;
    }
    mReceiveSeq = 1;
    mConnectionId = 0;
    mIdTimer.start();
    TXCustomTCPClient::DoConnect();
}

void TXTCPClientPack::DoDisconnect() {
    mIdTimer.stop();
    TXCustomTCPClient::DoDisconnect();
}

void TXTCPClientPack::OnIdTimer() {
    Guarded("C.TimerActivateIntervalOnTimer", false, [&] {
        mIdTimer.stop();
        if (!Connected())
            return;
        DoConnectError("id not received");
        Deactivate();
    });
}

void TXTCPClientPack::DoDataAvailable() {
    Guarded("C.ReceiveData", true, [&] {
        ReadSocket();
        ProcessReceived();
    });
}

void TXTCPClientPack::FeedReceived(std::string_view bytes) {
    Guarded("C.ReceiveData", true, [&] {
        ReceiveQueue().Write(bytes.data(), int32_t(bytes.size()));
        ProcessReceived();
    });
}

void TXTCPClientPack::ReadSocket() {
    TXBuffer& queue = ReceiveQueue();
    for (;;) {
        if (queue.FreeContiguous() == 0)
            queue.Reserve(kReadChunk);
        const qint64 n = Socket().read(queue.WritePtr(), queue.FreeContiguous());
        if (n <= 0)
            break;
        queue.Commit(int32_t(n));
    }
}

void TXTCPClientPack::ProcessReceived() {
    const uint64_t generation = Generation();
    TXTCPPack pack;
    for (;;) {
        bool complete = false;
        try {
            complete = TakePackFrame(ReceiveQueue(), pack);
        } catch (const EXPackError& e) {
            // The framing is lost: nothing after this point can be read reliably.
            ReceiveQueue().Clear();
            DoError(e.what());
            CloseSocket();
            return;
        }
        if (!complete)
            return;
        bool stopAfter = false;
        if (pack.Seq == mReceiveSeq) {
            ++mReceiveSeq;
        } else {
            stopAfter = true;
            DoError("wrong package id " + std::to_string(pack.Seq) + " must be " +
                    std::to_string(mReceiveSeq));
            if (Generation() != generation)
                return;
        }
        Dispatch(pack);
        if (Generation() != generation || stopAfter)
            return;
    }
}

void TXTCPClientPack::Dispatch(TXTCPPack& pack) {
    if (pack.Command == "$ID") {
        unsigned id = 0;
        const char* first = pack.Payload.data();
        const char* last = first + pack.Payload.size();
        const auto [end, ec] = std::from_chars(first, last, id);
        if (ec != std::errc() || end != last || id > 0xFFFF) {
            DoError("invalid connection id " + pack.Payload);
            return;
        }
        mConnectionId = uint16_t(id);
        mIdTimer.stop();
        if (OnIDReceived)
            OnIDReceived();
        return;
    }
    if (pack.Command == "$LIB$WARNING") {
        SendText(0, "$LIB$WARNING", "", "");
        return;
    }
    try {
        if (pack.Service.empty()) {
            if (OnPackReceive)
                OnPackReceive(pack);
            return;
        }
        const std::string name = Upper(pack.Service);
        const auto it = std::find_if(mServices.begin(), mServices.end(),
                                     [&](const TXTCPClientService* s) { return s->Service() == name; });
        if (it == mServices.end()) {
            SendText(0, "$UNKNOWNSERVICE", "", name);
            return;
        }
        TXTCPClientService* service = *it;
        if (service->OnPackReceive)
            service->OnPackReceive(*service, pack);
    } catch (...) {
        // A receiver's failure must not stop the packets behind it.
    }
}
