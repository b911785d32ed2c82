#include "server/UXSessRequest.h"

#include "foundation/UXData.h"

TXSessKind SessKindOf(std::string_view c) {
    if (c == "CREATE")
        return TXSessKind::Create;
    if (c == "FREE")
        return TXSessKind::Free;
    if (c == "SELECT")
        return TXSessKind::Select;
    if (c == "COMMAND")
        return TXSessKind::Command;
    if (c == "FETCH")
        return TXSessKind::Fetch;
    if (c == "FREESQL")
        return TXSessKind::FreeSql;
    if (c == "SEQUENCE")
        return TXSessKind::Sequence;
    if (c == "FREESEQUENCE")
        return TXSessKind::FreeSequence;
    if (c == "SEMAPHOREACQUIRE")
        return TXSessKind::SemaphoreAcquire;
    if (c == "SEMAPHORERELEASE")
        return TXSessKind::SemaphoreRelease;
    return TXSessKind::Unknown;
}

TXSessRequest ReadSessRequest(std::string_view command, std::string_view payload) {
    TXSessRequest r;
    r.kind = SessKindOf(command);
    if (r.kind == TXSessKind::Unknown)
        return r;
    TXData d;
    Load(d, payload);
    auto target = [&] {
        r.csid = GetI(d);
        r.cfg = GetS(d);
        r.ssid = GetI(d);
    };
    switch (r.kind) {
    case TXSessKind::Create:
        r.csid = GetI(d);
        r.cfg = GetS(d);
        r.op = GetS(d);
        break;
    case TXSessKind::Free:
        target();
        break;
    case TXSessKind::Select:
        target();
        r.id = GetS(d);
        r.number = GetI(d);
        r.statement = ReadStatement(d);
        break;
    case TXSessKind::Command:
        target();
        r.id = GetS(d);
        r.statement = ReadStatement(d);
        break;
    case TXSessKind::Fetch:
        target();
        r.id = GetS(d);
        break; // the trailing flag carries nothing
    case TXSessKind::FreeSql:
        target();
        r.id = GetS(d);
        r.number = GetI(d);
        break;
    case TXSessKind::Sequence:
        target();
        r.id = GetS(d);
        r.table = GetS(d);
        r.field = GetS(d);
        r.quantity = GetI(d);
        break;
    case TXSessKind::FreeSequence:
        r.cfg = GetS(d);
        r.table = GetS(d);
        r.field = GetS(d);
        r.value = GetI64(d);
        r.quantity = GetI(d);
        break;
    case TXSessKind::SemaphoreAcquire:
        target();
        r.semaphore = GetS(d);
        r.data = GetS(d);
        r.key = GetS(d);
        r.firstOption = GetB(d) != 0;
        r.secondOption = GetB(d) != 0;
        break;
    case TXSessKind::SemaphoreRelease:
        target();
        r.semaphore = GetS(d);
        r.key = GetS(d);
        break;
    case TXSessKind::Unknown:
        break;
    }
    return r;
}

std::vector<TXEngineParam> EngineParams(const std::vector<TXSQLWireParam>& params) {
    std::vector<TXEngineParam> out;
    out.reserve(params.size());
    for (const auto& p : params) {
        TXEngineParam e;
        e.name = p.name;
        const TXVariant& v = p.value;
        if (p.prefix == '*' || v.IsEmptyOrNull()) {
            e.value = TXVariant::Null();
            e.blob = p.prefix == 'B';
        } else {
            switch (p.prefix) {
            case 'S':
                e.value = TXVariant::FromString(v.AsString());
                break;
            case 'I':
                e.value = TXVariant::FromInt64(v.AsInt64());
                break;
            case 'C':
                e.value = TXVariant::FromCurrencyScaled(v.AsCurrencyScaled());
                break;
            case 'E':
                e.value = TXVariant::FromDouble(v.AsDouble());
                break;
            case 'D':
                e.value = TXVariant::FromDate(v.AsDouble());
                break;
            case 'B':
                e.value = TXVariant::FromString(v.AsString());
                e.blob = true;
                break;
            default:
                e.value = v; // no known prefix: bind what came
                break;
            }
        }
        out.push_back(std::move(e));
    }
    return out;
}
