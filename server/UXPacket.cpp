#include "server/UXPacket.h"

#include <algorithm>

namespace {

void PutLE(std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xff);
}

uint32_t GetLE(std::string_view s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return v;
}

} // namespace

void AppendPacket(std::string& out, const TXTCPPack& p) {
    const std::string_view service = std::string_view(p.Service).substr(0, 255);
    const std::string_view command = std::string_view(p.Command).substr(0, 255);
    const size_t total = kPacketOverhead + service.size() + command.size() + p.Payload.size();
    out.reserve(out.size() + total);
    PutLE(out, static_cast<uint32_t>(total), 4);
    PutLE(out, p.ConnectionId, 2);
    PutLE(out, p.Reserved, 2);
    out += static_cast<char>(service.size());
    out += service;
    out += static_cast<char>(command.size());
    out += command;
    PutLE(out, static_cast<uint32_t>(p.Payload.size()), 4);
    out += p.Payload;
    PutLE(out, p.Seq, 2);
}

std::string EncodePacket(const TXTCPPack& p) {
    std::string out;
    AppendPacket(out, p);
    return out;
}

TXFrameResult ParseFrame(std::string_view bytes, TXTCPPack& out, int32_t maxLength) {
    TXFrameResult r;
    if (bytes.size() < 4)
        return r;
    const int32_t total = static_cast<int32_t>(GetLE(bytes, 0, 4));
    if (total < kPacketOverhead) {
        r.status = TXFrameStatus::Malformed;
        r.error = "packet length " + std::to_string(total) + " below " + std::to_string(kPacketOverhead);
        return r;
    }
    if (total > maxLength) {
        r.status = TXFrameStatus::Malformed;
        r.error =
            "packet length " + std::to_string(total) + " above the limit of " + std::to_string(maxLength);
        return r;
    }
    if (bytes.size() < static_cast<size_t>(total))
        return r;
    const std::string_view f = bytes.substr(0, static_cast<size_t>(total));
    auto malformed = [&](const char* why) {
        r.status = TXFrameStatus::Malformed;
        r.error = why;
        return r;
    };
    size_t at = 8;
    const size_t s = static_cast<unsigned char>(f[at++]);
    // What must still follow the service name: C, P, Seq.
    if (at + s + 1 + 4 + 2 > f.size())
        return malformed("service length overruns the packet");
    const std::string_view service = f.substr(at, s);
    at += s;
    const size_t c = static_cast<unsigned char>(f[at++]);
    if (at + c + 4 + 2 > f.size())
        return malformed("command length overruns the packet");
    const std::string_view command = f.substr(at, c);
    at += c;
    const int32_t p = static_cast<int32_t>(GetLE(f, at, 4));
    at += 4;
    if (p < 0 || at + static_cast<size_t>(p) + 2 != f.size())
        return malformed("payload length does not match the packet length");
    out.ConnectionId = static_cast<uint16_t>(GetLE(f, 4, 2));
    out.Reserved = static_cast<uint16_t>(GetLE(f, 6, 2));
    out.Service.assign(service);
    out.Command.assign(command);
    out.Payload.assign(f.substr(at, static_cast<size_t>(p)));
    at += static_cast<size_t>(p);
    out.Seq = static_cast<uint16_t>(GetLE(f, at, 2));
    r.status = TXFrameStatus::Packet;
    r.consumed = static_cast<size_t>(total);
    return r;
}
