#include "foundation/UXData.h"
#include "foundation/UXDataList.h"
#include "foundation/UXObject.h"

#include <gtest/gtest.h>

namespace {

class TXTestHeld : public TXObject {
public:
    TXTestHeld() : TXObject("TXTestHeld") {}
};

std::vector<std::string> Names(const TXDataList& l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.Count(); ++i) {
        out.push_back(l.Name(i));
    }
    return out;
}

std::string Saved(const TXDataList& l) {
    TXData d;
    Init(d);
    l.SaveToData(d);
    Finish(d);
    return d.Data;
}

TEST(TXDataList, NamesAreTrimmedAndCaseInsensitive) {
    TXDataList l;
    l.ValueOf("  codigo ").SetInteger(5);
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(l.Name(0), "codigo");
    EXPECT_EQ(l.ValueOf("CODIGO").AsInteger(), 5);
    EXPECT_EQ(&l.ValueOf("Codigo"), &l.ValueOf("\tcodigo"));
    EXPECT_TRUE(l.Exists(" CoDiGo"));
    EXPECT_FALSE(l.Exists("cod"));
    EXPECT_EQ(l.Find("nome"), nullptr);
    EXPECT_EQ(l.Count(), 1); // Exists and Find create nothing
    // Windows-1252 capitals fold too.
    l.ValueOf("A\xC7\xC3O").SetInteger(1);
    EXPECT_TRUE(l.Exists("a\xE7\xE3o"));
}

TEST(TXDataList, NewHolderIsNull) {
    TXDataList l;
    EXPECT_TRUE(l.ValueOf("x").AsVariant().IsNull());
    EXPECT_EQ(l.ValueOf("x").AsObject(), nullptr);
}

TEST(TXDataList, KeptSortedWithoutRegardToCase) {
    TXDataList l;
    for (const char* n : {"b", "A", "c_d", "C", "a1", "_x"}) {
        l.ValueOf(n);
    }
    EXPECT_EQ(Names(l), (std::vector<std::string>{"_x", "A", "a1", "b", "C", "c_d"}));
}

TEST(TXDataList, SaveToDataWritesSortedEntries) {
    TXDataList l;
    l.ValueOf("b").SetInteger(2);
    l.ValueOf("A").SetString("x");
    const std::string expected("\x02\x00\x00\x00"
                               "\x01\x00\x00\x00"
                               "A"
                               "\x00\x01\x01\x00\x00\x00x"
                               "\x01\x00\x00\x00"
                               "b"
                               "\x03\x00\x02\x00\x00\x00",
                               4 + 5 + 7 + 5 + 6);
    EXPECT_EQ(Saved(l), expected);
}

TEST(TXDataList, LoadFromDataMerges) {
    TXDataList src;
    src.ValueOf("codigo").SetInteger(7);
    src.ValueOf("data").SetDateTime(45306.5);
    src.ValueOf("nome").SetString("Soja");
    src.ValueOf("vazio");
    TXData d;
    Load(d, Saved(src));

    TXDataList dst;
    dst.ValueOf("CODIGO").SetInteger(1);
    dst.ValueOf("outro").SetBoolean(true);
    dst.LoadFromData(d);
    EXPECT_TRUE(d.AtEnd());
    EXPECT_EQ(Names(dst), (std::vector<std::string>{"CODIGO", "data", "nome", "outro", "vazio"}));
    EXPECT_EQ(dst.ValueOf("codigo").AsVariant(), TXVariant::FromInt(7));
    EXPECT_EQ(dst.ValueOf("data").AsVariant(), TXVariant::FromDouble(45306.5)); // the date became a number
    EXPECT_EQ(dst.ValueOf("nome").AsString(), "Soja");
    EXPECT_TRUE(dst.ValueOf("vazio").AsVariant().IsNull());
    EXPECT_TRUE(dst.ValueOf("outro").AsBoolean());
}

TEST(TXDataList, LoadFromTruncatedDataRaises) {
    TXDataList src;
    src.ValueOf("a").SetString("abcdef");
    std::string bytes = Saved(src);
    for (size_t n = 0; n < bytes.size(); ++n) {
        TXData d;
        Load(d, bytes.substr(0, n));
        TXDataList dst;
        EXPECT_THROW(dst.LoadFromData(d), EXDataError) << n;
    }
}

TEST(TXDataList, AssignPassesThroughTheWireForm) {
    TXTestHeld held;
    TXDataList src;
    src.ValueOf("when").SetDateTime(2.25);
    src.ValueOf("small").SetVariant(TXVariant::FromSmallint(3));
    src.ValueOf("obj").SetObject(&held);
    TXDataList dst;
    dst.ValueOf("keep").SetInteger(9);
    dst.Assign(src);
    EXPECT_EQ(dst.Count(), 4);
    EXPECT_EQ(dst.ValueOf("when").AsVariant(), TXVariant::FromDouble(2.25));
    EXPECT_EQ(dst.ValueOf("small").AsVariant(), TXVariant::FromInt(3));
    EXPECT_EQ(dst.ValueOf("keep").AsInteger(), 9);
    EXPECT_EQ(dst.ValueOf("obj").AsObject(), &held);
    EXPECT_EQ(dst.ValueOf("obj").AsVariant().Type(), varInteger);
    dst.Assign(dst); // self-assignment changes nothing
    EXPECT_EQ(dst.Count(), 4);
}

TEST(TXDataList, ClearFreesOnlyWhenAsked) {
    const size_t before = LiveObjectCount("TXTestHeld");
    auto* a = new TXTestHeld;
    auto* b = new TXTestHeld;
    {
        TXDataList l;
        l.ValueOf("a").SetObject(a);
        l.Clear();
        EXPECT_EQ(l.Count(), 0);
        EXPECT_TRUE(IsLiveObject(a));

        l.ValueOf("a").SetObject(a);
        l.ValueOf("a again").SetObject(a); // held twice, freed once
        l.ValueOf("b").SetObject(b);
        l.ValueOf("n").SetInteger(12345); // not a reference: left alone
        l.ValueOf("cleared").SetObject(b);
        l.ValueOf("cleared").SetInteger(0); // a value set later drops the reference
        EXPECT_EQ(l.ValueOf("cleared").AsObject(), nullptr);
        l.Clear(true);
        EXPECT_EQ(l.Count(), 0);
    }
    EXPECT_EQ(LiveObjectCount("TXTestHeld"), before);
}

} // namespace
