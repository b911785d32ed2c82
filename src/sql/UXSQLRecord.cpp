#include "sql/UXSQLRecord.h"

#include "sql/UXSQLWire.h"

namespace {
const TXVariant kNull = TXVariant::Null();
}

const TXVariant& TXSQLRecord::Value(size_t i) const {
    return i < Values.size() ? Values[i] : kNull;
}

const TXVariant& TXSQLRecord::OldValue(size_t i) const {
    if (!Edited) {
        return Value(i);
    }
    return i < OldValues.size() ? OldValues[i] : kNull;
}

void TXSQLRecord::SetValue(size_t i, size_t fieldCount, const TXVariant& v) {
    if (Values.size() < fieldCount) {
        Values.resize(fieldCount, TXVariant::Null());
    }
    if (i >= Values.size()) {
        Values.resize(i + 1, TXVariant::Null());
    }
    Values[i] = v;
}

void TXSQLRecord::LoadFromData(TXData& d, const std::vector<TXSQLStructDataType>& types) {
    Values = ReadRecordTypes(d, types);
    OldValues.clear();
    Edited = false;
    State = rsLoaded;
}
