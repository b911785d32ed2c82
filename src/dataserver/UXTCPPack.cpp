#include "dataserver/UXTCPPack.h"

#include "dataserver/UXBuffer.h"

#include <cstring>

namespace {

void Put16(char* p, uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

void Put32(char* p, int32_t v) {
    const auto u = uint32_t(v);
    for (int i = 0; i < 4; ++i)
        p[i] = char((u >> (8 * i)) & 0xFF);
}

uint16_t Get16(const char* p) {
    return uint16_t(uint8_t(p[0]) | (uint16_t(uint8_t(p[1])) << 8));
}

int32_t Get32(const char* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= uint32_t(uint8_t(p[i])) << (8 * i);
    return int32_t(u);
}

void CheckName(std::string_view name) {
    if (name.size() > 255)
        throw EXPackError("package name longer than 255 bytes");
}

// Writes the frame into exactly PackFrameSize bytes at p.
void WriteFrame(char* p, int32_t total, uint16_t connectionId, uint16_t reserved, std::string_view service,
                std::string_view command, std::string_view payload, uint16_t seq) {
    Put32(p, total);
    Put16(p + 4, connectionId);
    Put16(p + 6, reserved);
    p += 8;
    *p++ = char(service.size());
    std::memcpy(p, service.data(), service.size());
    p += service.size();
    *p++ = char(command.size());
    std::memcpy(p, command.data(), command.size());
    p += command.size();
    Put32(p, int32_t(payload.size()));
    p += 4;
    if (!payload.empty())
        std::memcpy(p, payload.data(), payload.size());
    p += payload.size();
    Put16(p, seq);
}

} // namespace

int32_t PackFrameSize(std::string_view service, std::string_view command, std::string_view payload) {
    CheckName(service);
    CheckName(command);
    const size_t total = kPackHeaderSize + service.size() + command.size() + payload.size();
    if (total > size_t(kMaxPackSize))
        throw EXPackError("package too big: " + std::to_string(total) + " bytes");
    return int32_t(total);
}

void AppendPackFrame(TXBuffer& queue, uint16_t connectionId, uint16_t reserved, std::string_view service,
                     std::string_view command, std::string_view payload, uint16_t seq) {
    const int32_t total = PackFrameSize(service, command, payload);
    WriteFrame(queue.Reserve(total), total, connectionId, reserved, service, command, payload, seq);
    queue.Commit(total);
}

std::string PackFrame(uint16_t connectionId, uint16_t reserved, std::string_view service,
                      std::string_view command, std::string_view payload, uint16_t seq) {
    const int32_t total = PackFrameSize(service, command, payload);
    std::string frame(size_t(total), '\0');
    WriteFrame(frame.data(), total, connectionId, reserved, service, command, payload, seq);
    return frame;
}

bool TakePackFrame(TXBuffer& queue, TXTCPPack& pack) {
    if (queue.Count() < 4)
        return false;
    const int32_t total = Get32(queue.ReadPtr(4));
    if (total < kPackHeaderSize || total > kMaxPackSize)
        throw EXPackError("invalid package length " + std::to_string(total));
    if (queue.Count() < total)
        return false;
    const char* p = queue.ReadPtr(total);
    const char* end = p + total;
    const auto fail = [] { throw EXPackError("malformed package"); };

    const uint16_t connectionId = Get16(p + 4);
    const uint16_t reserved = Get16(p + 6);
    p += 8;
    const int32_t serviceLen = uint8_t(*p++);
    if (end - p < serviceLen + 1)
        fail();
    const char* service = p;
    p += serviceLen;
    const int32_t commandLen = uint8_t(*p++);
    if (end - p < commandLen + 4)
        fail();
    const char* command = p;
    p += commandLen;
    const int32_t payloadLen = Get32(p);
    p += 4;
    if (payloadLen < 0 || end - p != int64_t(payloadLen) + 2)
        fail();

    pack.ConnectionId = connectionId;
    pack.Reserved = reserved;
    pack.Service.assign(service, size_t(serviceLen));
    pack.Command.assign(command, size_t(commandLen));
    pack.Payload.assign(p, size_t(payloadLen));
    pack.Seq = Get16(p + payloadLen);
    queue.Consume(total);
    return true;
}
