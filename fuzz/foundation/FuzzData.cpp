// Arbitrary bytes through every reader of the packed record and through the data list.
// Input: byte 0 = length k of a script (k mod 64), then k script bytes choosing the readers in turn,
// then the record itself.

#include "foundation/UXData.h"
#include "foundation/UXDataList.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// A variant that went through GetV is in its read-back form: writing and reading it again is exact.
void CheckVariantRoundTrip(const TXVariant& v) {
    TXData w;
    Init(w);
    PutV(w, v);
    Finish(w);
    TXData r;
    Load(r, w.Data);
    TXVariant back = GetV(r);
    Check(r.AtEnd());
    const bool nan = (back.Type() == varDouble) && std::isnan(back.AsDouble());
    Check(nan || back == v);
    (void)v.AsString();
}

void RunScript(TXData& d, const uint8_t* script, size_t k) {
    for (size_t i = 0; i < k; ++i) {
        const int32_t pos = d.Pos;
        try {
            switch (script[i] % 12) {
            case 0:
                (void)GetB(d);
                break;
            case 1:
                (void)GetBool(d);
                break;
            case 2:
                (void)GetW(d);
                break;
            case 3:
                (void)GetI(d);
                break;
            case 4:
                (void)GetI64(d);
                break;
            case 5:
                (void)GetCurr(d);
                break;
            case 6:
                (void)GetCurrScaled(d);
                break;
            case 7: {
                double e = GetE(d);
                uint8_t ext[10];
                DoubleToExtended(e, ext);
                double again = ExtendedToDouble(ext);
                Check(std::isnan(e) ? std::isnan(again) : std::memcmp(&e, &again, sizeof e) == 0);
                break;
            }
            case 8:
                (void)GetS(d);
                break;
            case 9:
                (void)GetS0(d);
                break;
            case 10:
                CheckVariantRoundTrip(GetV(d));
                break;
            default: {
                TXDataList l;
                l.LoadFromData(d);
                break;
            }
            }
        } catch (const EXDataError&) {
            Check(d.Pos >= pos && d.Pos <= d.Size + 1);
        }
        Check(d.Pos >= 1 && d.Pos <= d.Size + 1);
    }
}

// A list read from bytes saves to a form that reads back to the same bytes.
void CheckListRoundTrip(const TXDataList& l) {
    TXData w;
    Init(w);
    l.SaveToData(w);
    Finish(w);
    TXData r;
    Load(r, w.Data);
    TXDataList again;
    again.LoadFromData(r);
    Check(r.AtEnd());
    Check(again.Count() == l.Count());
    TXData w2;
    Init(w2);
    again.SaveToData(w2);
    Finish(w2);
    Check(w2.Data == w.Data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    size_t k = data[0] % 64;
    k = k < size - 1 ? k : size - 1;
    const uint8_t* script = data + 1;
    const std::string_view record(reinterpret_cast<const char*>(data + 1 + k), size - 1 - k);

    TXData d;
    Load(d, record);
    RunScript(d, script, k);

    TXData whole;
    Load(whole, record);
    TXDataList l;
    try {
        l.LoadFromData(whole);
    } catch (const EXDataError&) {
        // what was read before the error stays in the list
    }
    CheckListRoundTrip(l);
    TXDataList copy;
    copy.Assign(l);
    Check(copy.Count() == l.Count());
    return 0;
}
