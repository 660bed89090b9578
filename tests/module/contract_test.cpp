// The type library the module carries says what the contract says, fact by fact.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace {

constexpr INVOKEKIND F = INVOKE_FUNC, G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT;

struct Member {
    const IID* iid;
    const char16_t* name;
    INVOKEKIND kind;
    MEMBERID memid;
    SHORT slot;
    SHORT params;
    const char16_t* help;  // null: none
};

const Member kMembers[] = {
    {&IID_IBoundDataVariables, u"Add", F, 0x60020000, 7, 1, nullptr},
    {&IID_IBoundDataVariables, u"Count", F, 0x60020001, 8, 1, nullptr},
    {&IID_IBoundDataVariables, u"Item", F, 0x60020002, 9, 2, nullptr},
    {&IID_IBoundDataVariables, u"_NewEnum", G, -4, 10, 1, nullptr},
    {&IID_IBoundDataVariables, u"OwnerNotificationInterface", G, 0x60020004, 11, 1,
     u"Notification Interface of Owner"},
    {&IID_IBoundDataVariables, u"OwnerNotificationInterface", P, 0x60020004, 12, 1,
     u"Notification Interface of Owner"},
    {&IID_IBoundDataVariables, u"GetSnapShot", F, 0x60020006, 13, 1, u"method GetSnapShot"},
    {&IID_IBoundDataVariables, u"Remove", F, 0x60020007, 14, 1, nullptr},
    {&IID_IBoundDataVariables, u"TaggedName", G, 0x60020008, 15, 1, u"property TaggedName"},
    {&IID_IBoundDataVariables, u"TaggedName", P, 0x60020008, 16, 1, u"property TaggedName"},
    {&IID_IBoundDataVariables, u"FindVariable", F, 0x6002000A, 17, 2, u"method FindVariable"},
    {&IID_IBoundDataVariables, u"Store", F, 0x6002000B, 18, 3, nullptr},
    {&IID_IBoundDataVariables, u"Recall", F, 0x6002000C, 19, 3, nullptr},
    {&IID_IBoundDataVariable, u"TaggedName", G, 0x60010000, 3, 1, u"Property TaggedName"},
    {&IID_IBoundDataVariable, u"TaggedName", P, 0x60010000, 4, 1, u"Property TaggedName"},
    {&IID_IBoundDataVariable, u"DisplayName", G, 0x60010002, 5, 1, u"Property DisplayName"},
    {&IID_IBoundDataVariable, u"DisplayName", P, 0x60010002, 6, 1, u"Property DisplayName"},
    {&IID_IBoundDataVariable, u"UnitType", G, 0x60010004, 7, 1, u"Property UnitType"},
    {&IID_IBoundDataVariable, u"UnitType", P, 0x60010004, 8, 1, u"Property UnitType"},
    {&IID_IBoundDataVariable, u"SetNotificationInterface", F, 0x60010006, 9, 1,
     u"Method SetNotificationInterface"},
    {&IID_IBoundDataVariable, u"RemoveNotificationInterface", F, 0x60010007, 10, 1,
     u"Method RemoveNotificationInterface"},
    {&IID_IBoundDataVariable, u"VariableType", G, 0x60010008, 11, 1, u"Property VariableType"},
    {&IID_IBoundDataVariable, u"VariableType", P, 0x60010008, 12, 1, u"Property VariableType"},
    {&IID_IBoundDataVariable, u"Copy", F, 0x6001000A, 13, 1, u"Method Copy"},
    {&IID_IBoundDataVariable, u"VariableStatus", G, 0x6001000B, 14, 1, u"Property VariableStatus"},
    {&IID_IBoundDataVariable, u"VariableStatus", P, 0x6001000B, 15, 1, u"Property VariableStatus"},
    {&IID_IBoundDataNotification, u"NotifyVariableChanging", F, 1, 3, 1, u"Change Notification"},
    {&IID_IBoundDataNotification, u"OnFinalRelease", F, 2, 4, 1, u"Final Release of Variable"},
    {&IID_IBoundNumericVariable, u"Value", G, 0x60020000, 16, 1, u"property Value"},
    {&IID_IBoundNumericVariable, u"Value", P, 0x60020000, 17, 1, u"property Value"},
    {&IID_IBoundStringVariable, u"Value", G, 0x60020000, 16, 1, u"property Value"},
    {&IID_IBoundStringVariable, u"Value", P, 0x60020000, 17, 1, u"property Value"},
    {&IID_IBoundNumericVectorVariable, u"Value", G, 0x60020000, 16, 2, u"Get Vector Values"},
    {&IID_IBoundNumericVectorVariable, u"Value", P, 0x60020000, 17, 2, u" Set Vector Values"},
    {&IID_IBoundNumericVectorVariable, u"VectorLength", F, 0x60020002, 18, 1,
     u"method VectorLength"},
    {&IID_IBoundNumericVectorVariable, u"SetDefaultValue", F, 0x60020003, 19, 1,
     u"method SetDefaultValue"},
    {&IID_IBoundNumericVectorVariable, u"CreateOnRequest", F, 0x60020004, 20, 1,
     u"method CreateOnRequest"},
    {&IID_IBoundNumericVectorVariable, u"Erase", F, 0x60020005, 21, 0, u"method Erase"},
    {&IID_IBoundNumericVectorVariable, u"VectorVariableStatus", G, 1, 22, 2,
     u"property VectorVariableStatus"},
    {&IID_IBoundNumericVectorVariable, u"VectorVariableStatus", P, 1, 23, 2,
     u"property VectorVariableStatus"},
    {&IID_IBoundEnumVariable, u"EnumStringAt", G, 0x60020000, 16, 2, u"Get EnumStringAt Value"},
    {&IID_IBoundEnumVariable, u"Value", G, 0x60020001, 17, 2, u"Property Value"},
    {&IID_IBoundEnumVariable, u"Value", P, 0x60020001, 18, 2, u"Property Value"},
    {&IID_IBoundEnumVariable, u"Length", F, 0x60020003, 19, 1, u"Method Length"},
    {&IID_IBoundEnumVariable, u"CreateOnRequest", F, 0x60020004, 20, 1, u"Method CreateOnRequest"},
    {&IID_IBoundEnumVariable, u"SetDefaultValue", F, 0x60020005, 21, 1, u"Method SetDefaultValue"},
    {&IID_IBoundEnumVariable, u"Initialize", F, 0x60020006, 22, 2, u"Initialize the Enumeration"},
    {&IID_IBoundEnumVariable, u"Reset", F, 0x60020007, 23, 1, u"Method Reset"},
    {&IID_IBoundEnumVariable, u"Next", F, 0x60020008, 24, 1, u"Method Next"},
    {&IID_IBoundEnumVariable, u"VectorLength", F, 0x60020009, 25, 1, u"Method VectorLength"},
};

class Contract : public ::testing::TestWithParam<const char16_t*> {
  protected:
    void SetUp() override { ASSERT_EQ(LoadTypeLib(GetParam(), lib_.put()), S_OK); }
    qv::com_ptr<ITypeInfo> info(const IID& iid) {
        qv::com_ptr<ITypeInfo> found;
        EXPECT_EQ(lib_->GetTypeInfoOfGuid(iid, found.put()), S_OK);
        return found;
    }
    qv::com_ptr<ITypeLib> lib_;
};

std::u16string bstr(BSTR b) {
    std::u16string s = b ? std::u16string(b) : u"(none)";
    SysFreeString(b);
    return s;
}

}  // namespace

TEST_P(Contract, TheLibraryAndItsFifteenDescriptionsInOrder) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_QUORVELLib);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, SYS_WIN64);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->wLibFlags, 0);
    lib_->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr, file = nullptr;
    ASSERT_EQ(lib_->GetDocumentation(-1, &name, &doc, nullptr, &file), S_OK);
    EXPECT_EQ(bstr(name), u"QUORVELLib");
    EXPECT_EQ(bstr(doc), u"Talmex Quorvel 1.0 Type Library");
    EXPECT_EQ(bstr(file), u"(none)");

    const struct {
        const char16_t* name;
        TYPEKIND kind;
        WORD flags;
    } order[] = {
        {u"BoundDataVariables", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {u"IBoundDataVariables", TKIND_INTERFACE,
         TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE},
        {u"IBoundDataVariable", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"tagUnitConversionType", TKIND_ENUM, 0},
        {u"IBoundDataNotification", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"tagVariableType", TKIND_ENUM, 0},
        {u"tagVariableStatus", TKIND_ENUM, 0},
        {u"BoundNumericVariable", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {u"IBoundNumericVariable", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"BoundEnumVariable", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {u"IBoundEnumVariable", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"BoundNumericVectorVariable", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {u"IBoundNumericVectorVariable", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"BoundStringVariable", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
        {u"IBoundStringVariable", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
    };
    ASSERT_EQ(lib_->GetTypeInfoCount(), 15u);
    for (UINT i = 0; i < 15; ++i) {
        SCOPED_TRACE(i);
        qv::com_ptr<ITypeInfo> t;
        ASSERT_EQ(lib_->GetTypeInfo(i, t.put()), S_OK);
        TYPEATTR* a = nullptr;
        ASSERT_EQ(t->GetTypeAttr(&a), S_OK);
        EXPECT_EQ(a->typekind, order[i].kind);
        EXPECT_EQ(a->wTypeFlags, order[i].flags);
        t->ReleaseTypeAttr(a);
        BSTR type_name = nullptr;
        t->GetDocumentation(MEMBERID_NIL, &type_name, nullptr, nullptr, nullptr);
        EXPECT_EQ(bstr(type_name), order[i].name);
    }
}

TEST_P(Contract, EveryMemberOfTheSevenInterfaces) {
    std::map<const IID*, int> own_members;
    for (const Member& m : kMembers) {
        SCOPED_TRACE(std::string(m.name, m.name + std::char_traits<char16_t>::length(m.name)));
        auto t = info(*m.iid);
        TYPEATTR* a = nullptr;
        ASSERT_EQ(t->GetTypeAttr(&a), S_OK);
        const SHORT first_slot = IsEqualIID(*m.iid, IID_IBoundDataVariables) ? 7
                                 : (IsEqualIID(*m.iid, IID_IBoundDataVariable) ||
                                    IsEqualIID(*m.iid, IID_IBoundDataNotification))
                                     ? 3
                                     : 16;
        t->ReleaseTypeAttr(a);
        FUNCDESC* f = nullptr;
        ASSERT_EQ(t->GetFuncDesc(static_cast<UINT>(m.slot - first_slot), &f), S_OK);
        EXPECT_EQ(f->memid, m.memid);
        EXPECT_EQ(f->invkind, m.kind);
        EXPECT_EQ(f->oVft, m.slot * 8);
        EXPECT_EQ(f->cParams, m.params);
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        BSTR name = nullptr, help = nullptr;
        ASSERT_EQ(t->GetDocumentation(f->memid, &name, &help, nullptr, nullptr), S_OK);
        EXPECT_EQ(bstr(name), m.name);
        // The put shares its getter's id; its own help string is read from its description.
        if (m.kind != P) {
            EXPECT_EQ(bstr(help), m.help ? m.help : u"(none)");
        } else {
            SysFreeString(help);
        }
        t->ReleaseFuncDesc(f);
        ++own_members[m.iid];
    }
    for (const auto& [iid, count] : own_members) {
        auto t = info(*iid);
        TYPEATTR* a = nullptr;
        ASSERT_EQ(t->GetTypeAttr(&a), S_OK);
        EXPECT_EQ(a->cFuncs, count) << "no member left out of the table";
        t->ReleaseTypeAttr(a);
    }
}

TEST_P(Contract, ParametersThatTheContractSingsOut) {
    // The enumeration Value's cOffset: optional with default 0.
    auto e = info(IID_IBoundEnumVariable);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(e->GetFuncDesc(1, &f), S_OK);
    const PARAMDESC& offset = f->lprgelemdescParam[0].paramdesc;
    EXPECT_EQ(offset.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
    ASSERT_NE(offset.pparamdescex, nullptr);
    EXPECT_EQ(offset.pparamdescex->varDefaultValue.vt, VT_I4);
    EXPECT_EQ(offset.pparamdescex->varDefaultValue.lVal, 0);
    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(e->GetNames(f->memid, names, 3, &count), S_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(bstr(names[1]), u"cOffset");
    EXPECT_EQ(bstr(names[2]), u"pVal");
    SysFreeString(names[0]);
    e->ReleaseFuncDesc(f);

    // VectorVariableStatus's cIdx carries no direction.
    auto vector = info(IID_IBoundNumericVectorVariable);
    ASSERT_EQ(vector->GetFuncDesc(6, &f), S_OK);
    EXPECT_EQ(f->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_NONE);
    EXPECT_EQ(f->lprgelemdescParam[1].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    vector->ReleaseFuncDesc(f);

    // Store takes a BSTR pointer marked [in] only; its pUnk is an IUnknown.
    auto collection = info(IID_IBoundDataVariables);
    ASSERT_EQ(collection->GetFuncDesc(11, &f), S_OK);
    EXPECT_EQ(f->lprgelemdescParam[1].tdesc.vt, VT_UNKNOWN);
    EXPECT_EQ(f->lprgelemdescParam[2].tdesc.vt, VT_PTR);
    EXPECT_EQ(f->lprgelemdescParam[2].tdesc.lptdesc->vt, VT_BSTR);
    EXPECT_EQ(f->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FIN);
    collection->ReleaseFuncDesc(f);
    // _NewEnum is restricted.
    ASSERT_EQ(collection->GetFuncDesc(3, &f), S_OK);
    EXPECT_EQ(f->wFuncFlags, FUNCFLAG_FRESTRICTED);
    collection->ReleaseFuncDesc(f);

    // A put's new value has no name.
    auto numeric = info(IID_IBoundNumericVariable);
    ASSERT_EQ(numeric->GetNames(0x60020000, names, 3, &count), S_OK);
    EXPECT_EQ(count, 2u) << "Value and the getter's pVal";
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
}

TEST_P(Contract, EnumerationValues) {
    auto values_of = [&](UINT index) {
        qv::com_ptr<ITypeInfo> t;
        EXPECT_EQ(lib_->GetTypeInfo(index, t.put()), S_OK);
        std::vector<std::pair<std::u16string, LONG>> out;
        for (UINT i = 0;; ++i) {
            VARDESC* v = nullptr;
            if (t->GetVarDesc(i, &v) != S_OK) break;
            BSTR name = nullptr;
            t->GetDocumentation(v->memid, &name, nullptr, nullptr, nullptr);
            out.emplace_back(bstr(name), v->lpvarValue->lVal);
            t->ReleaseVarDesc(v);
        }
        return out;
    };
    const auto units = values_of(3);
    ASSERT_EQ(units.size(), 187u);
    for (LONG i = 0; i < 186; ++i) EXPECT_EQ(units[static_cast<std::size_t>(i)].second, i);
    EXPECT_EQ(units[0].first, u"eUnitPhase");
    EXPECT_EQ(units[1].first, u"eUnitTemperature");
    EXPECT_EQ(units[100].first, u"eUnitHCostperTime");
    EXPECT_EQ(units[165].first, u"eUnitFluidPotnetial");
    EXPECT_EQ(units[169].first, u"eUnitFlowtoTempLink");
    EXPECT_EQ(units[181].first, u"eUnitmmLength");
    EXPECT_EQ(units[137].first, u"eUnitAcidicity");
    EXPECT_EQ(units[185].first, u"eUnitFormationVolumeFactor");
    EXPECT_EQ(units[186], (std::pair<std::u16string, LONG>{u"eUnitNullUnit", -1}));
    EXPECT_EQ(values_of(5),
              (std::vector<std::pair<std::u16string, LONG>>{{u"eNumericVariable", 0},
                                                            {u"eEnumVariable", 1},
                                                            {u"eBlobVariable", 2},
                                                            {u"eNumericVectorVariable", 3},
                                                            {u"eStringVariable", 4},
                                                            {u"eUnknownVariable", 5}}));
    EXPECT_EQ(values_of(6), (std::vector<std::pair<std::u16string, LONG>>{
                                {u"eSpecified", 0}, {u"eCalculated", 1}, {u"eDefault", 2}}));
}

TEST_P(Contract, ClassesListTheirInterfacesDefaultFirst) {
    const struct {
        const CLSID* clsid;
        std::vector<const IID*> interfaces;
    } classes[] = {
        {&CLSID_BoundDataVariables, {&IID_IBoundDataVariables}},
        {&CLSID_BoundNumericVariable, {&IID_IBoundNumericVariable, &IID_IBoundDataVariable}},
        {&CLSID_BoundEnumVariable, {&IID_IBoundEnumVariable, &IID_IBoundDataVariable}},
        {&CLSID_BoundNumericVectorVariable, {&IID_IBoundNumericVectorVariable}},
        {&CLSID_BoundStringVariable, {&IID_IBoundStringVariable}},
    };
    for (const auto& c : classes) {
        auto t = info(*c.clsid);
        TYPEATTR* a = nullptr;
        ASSERT_EQ(t->GetTypeAttr(&a), S_OK);
        ASSERT_EQ(a->cImplTypes, c.interfaces.size());
        t->ReleaseTypeAttr(a);
        for (UINT i = 0; i < c.interfaces.size(); ++i) {
            HREFTYPE ref = 0;
            INT flags = -1;
            ASSERT_EQ(t->GetRefTypeOfImplType(i, &ref), S_OK);
            EXPECT_EQ(t->GetImplTypeFlags(i, &flags), S_OK);
            EXPECT_EQ(flags, i == 0 ? IMPLTYPEFLAG_FDEFAULT : 0);
            qv::com_ptr<ITypeInfo> listed;
            ASSERT_EQ(t->GetRefTypeInfo(ref, listed.put()), S_OK);
            TYPEATTR* la = nullptr;
            listed->GetTypeAttr(&la);
            EXPECT_EQ(la->guid, *c.interfaces[i]);
            listed->ReleaseTypeAttr(la);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FromTheModuleAndBesideIt, Contract,
                         ::testing::Values(u"" QV_MODULE_PATH, u"" QV_TYPE_LIBRARY));
