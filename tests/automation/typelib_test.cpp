// The compiled test library, read back through ITypeLib and ITypeInfo, says
// exactly what shapes.idl declares.
#include <gtest/gtest.h>

#include <string>

#include "quorvel/platform.h"
#include "qvtest/shapes.h"

namespace {

std::u16string name_of(ITypeInfo* info, MEMBERID memid = MEMBERID_NIL) {
    qv::unique_bstr name;
    EXPECT_EQ(info->GetDocumentation(memid, name.put(), nullptr, nullptr, nullptr), S_OK);
    return std::u16string(name.view());
}

qv::com_ptr<ITypeLib> load(const char16_t* path) {
    qv::com_ptr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLib(path, lib.put()), S_OK);
    return lib;
}

struct Attr {
    qv::com_ptr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    explicit Attr(qv::com_ptr<ITypeInfo> i) : info(std::move(i)) {
        EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
    }
    ~Attr() { info->ReleaseTypeAttr(attr); }
    TYPEATTR* operator->() const { return attr; }
};

qv::com_ptr<ITypeInfo> info_at(ITypeLib* lib, UINT index) {
    qv::com_ptr<ITypeInfo> info;
    EXPECT_EQ(lib->GetTypeInfo(index, info.put()), S_OK);
    return info;
}

}  // namespace

TEST(TypeLibrary, TheModuleResourceAndTheFileHoldTheSameLibrary) {
    for (const char16_t* path : {u"" QV_SHAPES_MODULE, u"" QV_SHAPES_TLB}) {
        auto lib = load(path);
        ASSERT_TRUE(lib);
        TLIBATTR* attr = nullptr;
        ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
        EXPECT_EQ(attr->guid, LIBID_QvShapesLib);
        EXPECT_EQ(attr->lcid, 0x409u);
        EXPECT_EQ(attr->syskind, SYS_WIN64);
        EXPECT_EQ(attr->wMajorVerNum, 1);
        EXPECT_EQ(attr->wMinorVerNum, 0);
        EXPECT_EQ(attr->wLibFlags, 0);
        lib->ReleaseTLibAttr(attr);

        qv::unique_bstr name, doc;
        ASSERT_EQ(lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr), S_OK);
        EXPECT_EQ(name.view(), u"QvShapesLib");
        EXPECT_EQ(doc.view(), u"Quorvel automation test library");
    }
}

TEST(TypeLibrary, TypesInTheOrderTheLibraryNamesThemWithTheirKindsAndFlags) {
    auto lib = load(u"" QV_SHAPES_TLB);
    struct Expected {
        const char16_t* name;
        TYPEKIND kind;
        WORD flags;
    } const expected[] = {
        {u"tagShade", TKIND_ENUM, 0},
        {u"ITestSink", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"ITestShapes", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"ITestDerived", TKIND_INTERFACE, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION},
        {u"ITestCollection", TKIND_INTERFACE,
         TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE},
        {u"TestShapes", TKIND_COCLASS, TYPEFLAG_FCANCREATE},
    };
    ASSERT_EQ(lib->GetTypeInfoCount(), std::size(expected));
    for (UINT i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        Attr attr(info_at(lib.get(), i));
        EXPECT_EQ(name_of(attr.info.get()), expected[i].name);
        EXPECT_EQ(attr->typekind, expected[i].kind);
        EXPECT_EQ(attr->wTypeFlags, expected[i].flags);
        TYPEKIND kind;
        EXPECT_EQ(lib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, expected[i].kind);
    }
    qv::com_ptr<ITypeInfo> none;
    EXPECT_EQ(lib->GetTypeInfo(6, none.put()), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IID_IClassFactory, none.put()), TYPE_E_ELEMENTNOTFOUND);
}

TEST(TypeLibrary, InterfacesDescribeTheirVtables) {
    auto lib = load(u"" QV_SHAPES_TLB);
    qv::com_ptr<ITypeInfo> shapes;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestShapes, shapes.put()), S_OK);
    Attr attr(shapes);
    EXPECT_EQ(attr->cFuncs, 19);
    EXPECT_EQ(attr->cbSizeVft, 22 * sizeof(void*));
    EXPECT_EQ(attr->cImplTypes, 1);

    struct Member {
        const char16_t* name;
        MEMBERID memid;
        INVOKEKIND kind;
        SHORT slot;
        SHORT params;
        const char16_t* help;
    } const members[] = {
        {u"Nothing", 0x60010000, INVOKE_FUNC, 3, 0, nullptr},
        {u"TakeLong", 0x60010001, INVOKE_FUNC, 4, 1, nullptr},
        {u"Item", 0x60010007, INVOKE_PROPERTYGET, 10, 2, u"An item"},
        {u"Item", 0x60010007, INVOKE_PROPERTYPUT, 11, 2, u" An item"},
        {u"Name", 0x6001000A, INVOKE_PROPERTYGET, 13, 1, nullptr},
        {u"Name", 0x6001000A, INVOKE_PROPERTYPUT, 14, 1, nullptr},
        {u"_NewEnum", DISPID_NEWENUM, INVOKE_PROPERTYGET, 18, 1, nullptr},
        {u"Mixed", 1, INVOKE_FUNC, 20, 4, nullptr},
    };
    for (const Member& m : members) {
        SCOPED_TRACE(std::string(m.name, m.name + 4));
        FUNCDESC* f = nullptr;
        ASSERT_EQ(shapes->GetFuncDesc(static_cast<UINT>(m.slot - 3), &f), S_OK);
        EXPECT_EQ(f->memid, m.memid);
        EXPECT_EQ(f->invkind, m.kind);
        EXPECT_EQ(f->oVft, m.slot * static_cast<SHORT>(sizeof(void*)));
        EXPECT_EQ(f->cParams, m.params);
        EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        qv::unique_bstr name, help;
        EXPECT_EQ(shapes->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(name.view(), m.name);
        shapes->ReleaseFuncDesc(f);
    }
    FUNCDESC* restricted = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(15, &restricted), S_OK);
    EXPECT_EQ(restricted->wFuncFlags, FUNCFLAG_FRESTRICTED);
    shapes->ReleaseFuncDesc(restricted);

    // A derived interface continues the vtable and numbers its members one level deeper.
    qv::com_ptr<ITypeInfo> derived;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestDerived, derived.put()), S_OK);
    FUNCDESC* extra = nullptr;
    ASSERT_EQ(derived->GetFuncDesc(0, &extra), S_OK);
    EXPECT_EQ(extra->oVft, 22 * static_cast<SHORT>(sizeof(void*)));
    EXPECT_EQ(extra->memid, 0x60020000);
    derived->ReleaseFuncDesc(extra);
    HREFTYPE base = 0;
    ASSERT_EQ(derived->GetRefTypeOfImplType(0, &base), S_OK);
    qv::com_ptr<ITypeInfo> base_info;
    ASSERT_EQ(derived->GetRefTypeInfo(base, base_info.put()), S_OK);
    EXPECT_EQ(name_of(base_info.get()), u"ITestShapes");
    ASSERT_EQ(base_info->GetRefTypeOfImplType(0, &base), S_OK);
    ASSERT_EQ(base_info->GetRefTypeInfo(base, base_info.put()), S_OK);
    EXPECT_EQ(name_of(base_info.get()), u"IUnknown");

    qv::com_ptr<ITypeInfo> collection;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestCollection, collection.put()), S_OK);
    FUNCDESC* add = nullptr;
    ASSERT_EQ(collection->GetFuncDesc(0, &add), S_OK);
    EXPECT_EQ(add->oVft, 7 * static_cast<SHORT>(sizeof(void*))) << "after IDispatch's seven";
    EXPECT_EQ(add->memid, 0x60020000);
    collection->ReleaseFuncDesc(add);
}

TEST(TypeLibrary, ParametersCarryTypesDirectionsAndDefaults) {
    auto lib = load(u"" QV_SHAPES_TLB);
    qv::com_ptr<ITypeInfo> shapes;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestShapes, shapes.put()), S_OK);

    FUNCDESC* get_item = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(7, &get_item), S_OK);
    const ELEMDESC& index = get_item->lprgelemdescParam[0];
    EXPECT_EQ(index.tdesc.vt, VT_I4);
    EXPECT_EQ(index.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
    ASSERT_NE(index.paramdesc.pparamdescex, nullptr);
    EXPECT_EQ(index.paramdesc.pparamdescex->varDefaultValue.vt, VT_I4);
    EXPECT_EQ(index.paramdesc.pparamdescex->varDefaultValue.lVal, 7);
    const ELEMDESC& value = get_item->lprgelemdescParam[1];
    EXPECT_EQ(value.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_EQ(value.tdesc.vt, VT_PTR);
    EXPECT_EQ(value.tdesc.lptdesc->vt, VT_I4);
    shapes->ReleaseFuncDesc(get_item);

    // The put's value has no name; Mixed's last parameter has no direction.
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(shapes->GetNames(0x60010007, names, 4, &count), S_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(std::u16string(names[0]), u"Item");
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);

    FUNCDESC* put_name = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(11, &put_name), S_OK);
    EXPECT_EQ(put_name->invkind, INVOKE_PROPERTYPUT);
    ASSERT_EQ(shapes->GetNames(put_name->memid, names, 4, &count), S_OK);
    EXPECT_EQ(count, 2u) << "Name, then the getter's retval name";
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
    shapes->ReleaseFuncDesc(put_name);

    FUNCDESC* mixed = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(17, &mixed), S_OK);
    EXPECT_EQ(mixed->lprgelemdescParam[3].paramdesc.wParamFlags, PARAMFLAG_NONE);
    EXPECT_EQ(mixed->lprgelemdescParam[2].tdesc.vt, VT_BSTR);
    EXPECT_EQ(mixed->lprgelemdescParam[1].tdesc.vt, VT_R8);
    shapes->ReleaseFuncDesc(mixed);

    // Interface parameters: IUnknown* is VT_UNKNOWN, others point at their description.
    FUNCDESC* take_unknown = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(6, &take_unknown), S_OK);
    EXPECT_EQ(take_unknown->lprgelemdescParam[0].tdesc.vt, VT_UNKNOWN);
    shapes->ReleaseFuncDesc(take_unknown);
    FUNCDESC* take_sink = nullptr;
    ASSERT_EQ(shapes->GetFuncDesc(5, &take_sink), S_OK);
    const TYPEDESC& sink = take_sink->lprgelemdescParam[0].tdesc;
    ASSERT_EQ(sink.vt, VT_PTR);
    ASSERT_EQ(sink.lptdesc->vt, VT_USERDEFINED);
    qv::com_ptr<ITypeInfo> sink_info;
    ASSERT_EQ(shapes->GetRefTypeInfo(sink.lptdesc->hreftype, sink_info.put()), S_OK);
    EXPECT_EQ(name_of(sink_info.get()), u"ITestSink");
    shapes->ReleaseFuncDesc(take_sink);
}

TEST(TypeLibrary, EnumerationsAndCoclasses) {
    auto lib = load(u"" QV_SHAPES_TLB);
    auto shade = info_at(lib.get(), 0);
    const std::pair<const char16_t*, LONG> values[] = {
        {u"eLight", 0}, {u"eDark", 5}, {u"eDarker", 6}, {u"eNone", -1}};
    for (UINT i = 0; i < std::size(values); ++i) {
        VARDESC* v = nullptr;
        ASSERT_EQ(shade->GetVarDesc(i, &v), S_OK);
        EXPECT_EQ(v->varkind, VAR_CONST);
        ASSERT_EQ(v->lpvarValue->vt, VT_I4);
        EXPECT_EQ(v->lpvarValue->lVal, values[i].second);
        EXPECT_EQ(name_of(shade.get(), v->memid), values[i].first);
        shade->ReleaseVarDesc(v);
    }

    qv::com_ptr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_TestShapes, coclass.put()), S_OK);
    Attr attr(coclass);
    ASSERT_EQ(attr->cImplTypes, 2);
    INT flags = -1;
    EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
    EXPECT_EQ(flags, 0);
    qv::unique_bstr doc;
    EXPECT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.view(), u"TestShapes Class");

    qv::com_ptr<ITypeLib> containing;
    UINT index = 0;
    EXPECT_EQ(coclass->GetContainingTypeLib(containing.put(), &index), S_OK);
    EXPECT_EQ(index, 5u);
}

TEST(TypeLibrary, NamesAreFoundWithTheirStoredSpelling) {
    auto lib = load(u"" QV_SHAPES_TLB);
    char16_t buffer[] = u"itestsink";
    BOOL found = FALSE;
    EXPECT_EQ(lib->IsName(buffer, 0, &found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(std::u16string(buffer), u"ITestSink");

    char16_t member[] = u"takelong";
    ITypeInfo* infos[2] = {};
    MEMBERID ids[2] = {};
    USHORT count = 2;
    EXPECT_EQ(lib->FindName(member, 0, infos, ids, &count), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ids[0], 0x60010001);
    EXPECT_EQ(name_of(infos[0]), u"ITestShapes");
    infos[0]->Release();

    char16_t nothing[] = u"Absent";
    EXPECT_EQ(lib->IsName(nothing, 0, &found), S_OK);
    EXPECT_FALSE(found);
}

TEST(TypeLibrary, MissingFilesAreRefused) {
    qv::com_ptr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLib(u"/nonexistent/none.tlb", lib.put()), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(LoadTypeLib(nullptr, lib.put()), E_INVALIDARG);
    // A module without a type library.
    EXPECT_EQ(LoadTypeLib(u"" QV_PLATFORM_LIBRARY, lib.put()), TYPE_E_CANTLOADLIBRARY);
}
