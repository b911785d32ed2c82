// The client's packet reader fed arbitrary byte streams in arbitrary pieces: the bare frame parser,
// then the whole receive path with the control services of the data client behind it.
#include "dataserver/UXBuffer.h"
#include "dataserver/UXDataClient.h"
#include "dataserver/UXTCPClientPack.h"
#include "dataserver/UXTCPPack.h"
#include "foundation/UXData.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QTemporaryDir home;
    setenv("SARVOLENTIS_HOME", home.path().toLocal8Bit().constData(), 1);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

namespace {

// Cuts the stream into pieces whose sizes come from the first byte.
template <class F>
void InPieces(std::string_view bytes, uint8_t seed, F&& feed) {
    size_t step = 1 + seed % 37;
    while (!bytes.empty()) {
        const size_t n = std::min(step, bytes.size());
        feed(bytes.substr(0, n));
        bytes.remove_prefix(n);
        step = 1 + (step * 7 + seed) % 97;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t seed = data[0];
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    {
        TXBuffer queue(16);
        TXTCPPack pack;
        bool broken = false;
        InPieces(stream, seed, [&](std::string_view piece) {
            if (broken)
                return;
            queue.Write(piece.data(), int32_t(piece.size()));
            try {
                while (TakePackFrame(queue, pack)) {
                }
            } catch (const EXPackError&) {
                broken = true;
            }
        });
    }

    {
        TXTCPClientPack pack;
        TXDataClient client;
        client.SetTCPClientPack(&pack);
        pack.OnPackReceive = [](TXTCPPack& p) { (void)p.Payload.size(); };
        client.OnErrorMessage = [](const std::string&, TXData& d) {
            while (!d.AtEnd())
                GetS(d);
        };
        client.OnUpgradeEndCompleted = [](const std::string&, TXVersion& v) { v = StrToVersion("1.2.3"); };
        client.OnAuthCheck = [&](const std::string&, bool, int32_t) { client.Logout(); };
        InPieces(stream, seed, [&](std::string_view piece) { pack.FeedReceived(piece); });
    }
    return 0;
}
