#include "sql/UXSQLStruct.h"

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

int TXSQLStruct::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < mFields.size(); ++i) {
        if (SameTextAscii(mFields[i].Name, name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TXSQLStructField* TXSQLStruct::FindField(std::string_view name) {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &mFields[static_cast<size_t>(i)];
}

const TXSQLStructField* TXSQLStruct::FindField(std::string_view name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &mFields[static_cast<size_t>(i)];
}

std::string TXSQLStruct::FieldNotFoundText(std::string_view name) const {
    std::string text = "Field [" + std::string(name) + "] not found in sql " + TableName + " contendo :\r\n";
    for (const auto& f : mFields) {
        text += f.Name;
        text += "\r\n";
    }
    return text;
}

int TXSQLStruct::FieldIndex(std::string_view name) const {
    int i = IndexOf(name);
    if (i < 0) {
        throw EXSQLError(FieldNotFoundText(name));
    }
    return i;
}

TXSQLStructField& TXSQLStruct::AddField(std::string name, TXSQLStructDataType type, int32_t size) {
    TXSQLStructField f;
    f.Name = std::move(name);
    f.Type = type;
    f.Size = size;
    mFields.push_back(std::move(f));
    return mFields.back();
}

void TXSQLStruct::LoadFromData(TXData& d) {
    auto wire = ReadStructure(d); // all or nothing: a bad structure leaves the old fields
    mFields.clear();
    for (auto& w : wire) {
        AddField(std::move(w.name), w.type, w.size);
    }
}

void TXSQLStruct::SaveToData(TXData& d) const {
    WriteStructure(d, WireFields());
}

std::vector<TXSQLStructDataType> TXSQLStruct::Types() const {
    std::vector<TXSQLStructDataType> types;
    types.reserve(mFields.size());
    for (const auto& f : mFields) {
        types.push_back(f.Type);
    }
    return types;
}

std::vector<TXSQLWireField> TXSQLStruct::WireFields() const {
    std::vector<TXSQLWireField> wire;
    wire.reserve(mFields.size());
    for (const auto& f : mFields) {
        wire.push_back({f.Name, f.Type, f.Size});
    }
    return wire;
}
