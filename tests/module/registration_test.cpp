// quorvel.so registered into a temporary registry with quorvel-regsvr: the
// keys its scripts write, creation by ProgID, and late binding through the
// registered type library.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "module_host.h"
#include "registry_dump.h"
#include "temp_registry.h"

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

int regsvr(const std::string& arguments) {
    const int status =
        std::system((std::string(QV_REGSVR) + " " + arguments + " > /dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::u16string text(const GUID& g) {
    OLECHAR s[39];
    StringFromGUID2(g, s, 39);
    return s;
}

DISPID id_of(IDispatch* object, const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
}

class Registered : public ModuleHost {
  protected:
    TempRegistry registry_;
};

const std::u16string kModule(u"" QV_MODULE_PATH);

}  // namespace

TEST_F(Registered, TheKeysOfEveryClass) {
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    const struct {
        const char16_t* name;
        const CLSID* clsid;
    } classes[] = {{u"BoundDataVariables", &CLSID_BoundDataVariables},
                   {u"BoundNumericVariable", &CLSID_BoundNumericVariable},
                   {u"BoundEnumVariable", &CLSID_BoundEnumVariable},
                   {u"BoundNumericVectorVariable", &CLSID_BoundNumericVectorVariable},
                   {u"BoundStringVariable", &CLSID_BoundStringVariable}};
    for (const auto& c : classes) {
        const std::u16string description = std::u16string(c.name) + u" Class";
        const std::u16string progid = u"Quorvel." + std::u16string(c.name) + u".1";
        const std::u16string independent = u"Quorvel." + std::u16string(c.name);
        const std::u16string key = u"CLSID\\" + text(*c.clsid);
        EXPECT_EQ(qvtest::read_value(progid), description);
        EXPECT_EQ(qvtest::read_value(progid + u"\\CLSID"), text(*c.clsid));
        EXPECT_EQ(qvtest::read_value(independent), description);
        EXPECT_EQ(qvtest::read_value(independent + u"\\CLSID"), text(*c.clsid));
        EXPECT_EQ(qvtest::read_value(independent + u"\\CurVer"), progid);
        EXPECT_EQ(qvtest::read_value(key), description);
        EXPECT_EQ(qvtest::read_value(key + u"\\ProgID"), progid);
        EXPECT_EQ(qvtest::read_value(key + u"\\VersionIndependentProgID"), independent);
        EXPECT_TRUE(qvtest::read_value(key + u"\\Programmable") == std::nullopt);
        HKEY programmable = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, (key + u"\\Programmable").c_str(), 0, KEY_READ,
                               &programmable),
                  ERROR_SUCCESS);
        RegCloseKey(programmable);
        EXPECT_EQ(qvtest::read_value(key + u"\\InprocServer32"), kModule);
        EXPECT_EQ(qvtest::read_value(key + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
        EXPECT_EQ(qvtest::read_value(key + u"\\TypeLib"), text(LIBID_QUORVELLib));
    }
    EXPECT_EQ(qvtest::read_value(u"TypeLib\\" + text(LIBID_QUORVELLib) + u"\\1.0"),
              u"Talmex Quorvel 1.0 Type Library");
    EXPECT_EQ(qvtest::read_value(u"TypeLib\\" + text(LIBID_QUORVELLib) + u"\\1.0\\409\\win64"),
              kModule);
    EXPECT_EQ(qvtest::read_value(u"Interface\\" + text(IID_IBoundDataVariable) + u"\\TypeLib"),
              text(LIBID_QUORVELLib));

    const std::u16string once = dump_registry();
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    EXPECT_EQ(dump_registry(), once) << "registering twice equals once";

    ASSERT_EQ(regsvr("-u " QV_MODULE_PATH), 0);
    EXPECT_FALSE(qvtest::read_value(u"Quorvel.BoundNumericVariable"));
    EXPECT_FALSE(qvtest::read_value(u"Quorvel.BoundNumericVariable.1"));
    EXPECT_FALSE(qvtest::read_value(u"CLSID\\" + text(CLSID_BoundNumericVariable)));
    EXPECT_FALSE(qvtest::read_value(u"TypeLib\\" + text(LIBID_QUORVELLib) + u"\\1.0"));
    HKEY clsid = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &clsid), ERROR_SUCCESS)
        << "NoRemove";
    RegCloseKey(clsid);
}

TEST_F(Registered, CreatedByProgIdAndCalledLateBound) {
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Quorvel.BoundNumericVariable", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_BoundNumericVariable);
    {
        qv::com_ptr<IDispatch> object;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   object.put_void()),
                  S_OK);
        EXPECT_EQ(id_of(object.get(), u"Value"), 0x60020000);
        EXPECT_EQ(id_of(object.get(), u"taggedname"), 0x60010000);

        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R8;
        value.dblVal = 4.25;
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS put_params{&value, &put, 1, 1};
        ASSERT_EQ(object->Invoke(0x60020000, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put_params,
                                 nullptr, nullptr, nullptr),
                  S_OK);
        qv::unique_bstr name(SysAllocString(u"PI-7"));
        VARIANT text_value;
        VariantInit(&text_value);
        text_value.vt = VT_BSTR;
        text_value.bstrVal = name.get();
        DISPPARAMS name_params{&text_value, &put, 1, 1};
        ASSERT_EQ(object->Invoke(0x60010000, IID_NULL, 0, DISPATCH_PROPERTYPUT, &name_params,
                                 nullptr, nullptr, nullptr),
                  S_OK);

        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ASSERT_EQ(object->Invoke(0x60020000, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                 nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(result.vt, VT_R8);
        EXPECT_EQ(result.dblVal, 4.25);
        ASSERT_EQ(object->Invoke(0x60010000, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                 nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(text_of(result.bstrVal), u"PI-7");
        VariantClear(&result);

        UINT count = 0;
        EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        qv::com_ptr<ITypeInfo> info;
        EXPECT_EQ(object->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
        ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_EQ(attr->guid, IID_IBoundNumericVariable);
        info->ReleaseTypeAttr(attr);
        EXPECT_EQ(object->GetTypeInfoCount(nullptr), E_POINTER);
    }
    CoFreeUnusedLibraries();
}

TEST_F(Registered, BeforeRegistrationOnlyEarlyBindingWorks) {
    auto v = numeric();
    auto object = v.try_as<IDispatch>();
    ASSERT_TRUE(object);
    EXPECT_EQ(v->put_Value(1.0), S_OK);
    qv::com_ptr<ITypeInfo> info;
    EXPECT_EQ(object->GetTypeInfo(0, 0, info.put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_FALSE(info);
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"Value")};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(object->Invoke(0x60020000, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr,
                             nullptr),
              TYPE_E_LIBNOTREGISTERED);

    // Once registered, the next call loads the type information.
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0x60020000);
}

namespace {

HRESULT call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
             VARIANT* result = nullptr, bool put = false) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()),
                      put ? 1u : 0u};
    return object->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
}

VARIANT long_value(LONG v) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_I4;
    a.lVal = v;
    return a;
}

}  // namespace

TEST_F(Registered, EveryVariableKindByProgIdLateBound) {
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    for (const char16_t* progid :
         {u"Quorvel.BoundNumericVariable", u"Quorvel.BoundStringVariable.1",
          u"Quorvel.BoundNumericVectorVariable", u"Quorvel.BoundEnumVariable"}) {
        SCOPED_TRACE(std::string(progid, progid + std::char_traits<char16_t>::length(progid)));
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(progid, &clsid), S_OK);
        qv::com_ptr<IDispatch> object;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   object.put_void()),
                  S_OK);
        EXPECT_EQ(id_of(object.get(), u"TaggedName"), 0x60010000);
        qv::unique_bstr tag(SysAllocString(u"T-9"));
        VARIANT name;
        VariantInit(&name);
        name.vt = VT_BSTR;
        name.bstrVal = tag.get();
        ASSERT_EQ(call(object.get(), 0x60010000, DISPATCH_PROPERTYPUT, {name}, nullptr, true),
                  S_OK);
        VARIANT got;
        VariantInit(&got);
        ASSERT_EQ(call(object.get(), 0x60010000, DISPATCH_PROPERTYGET, {}, &got), S_OK);
        EXPECT_EQ(text_of(got.bstrVal), u"T-9");
        VariantClear(&got);
    }

    // The enumeration's Value without an argument addresses offset 0.
    qv::com_ptr<IDispatch> e;
    ASSERT_EQ(CoCreateInstance(CLSID_BoundEnumVariable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDispatch, e.put_void()),
              S_OK);
    EXPECT_EQ(id_of(e.get(), u"Value"), 0x60020001);
    ASSERT_EQ(call(e.get(), id_of(e.get(), u"CreateOnRequest"), DISPATCH_METHOD, {long_value(1)}),
              S_OK);
    ASSERT_EQ(call(e.get(), 0x60020001, DISPATCH_PROPERTYPUT, {long_value(5)}, nullptr, true),
              S_OK);
    LONG at_zero = 0;
    ASSERT_EQ(e.try_as<IBoundEnumVariable>()->get_Value(0, &at_zero), S_OK);
    EXPECT_EQ(at_zero, 5);
    VARIANT got;
    VariantInit(&got);
    ASSERT_EQ(call(e.get(), 0x60020001, DISPATCH_PROPERTYGET, {}, &got), S_OK);
    EXPECT_EQ(got.lVal, 5);

    // A failing member's error record reaches the late-bound caller.
    EXCEPINFO excep{};
    DISPPARAMS index{nullptr, nullptr, 0, 0};
    VARIANT position = long_value(9);
    index.rgvarg = &position;
    index.cArgs = 1;
    EXPECT_EQ(
        e->Invoke(0x60020000, IID_NULL, 0, DISPATCH_PROPERTYGET, &index, &got, &excep, nullptr),
        DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(text_of(excep.bstrDescription), u"Index Out Of Range");
    SysFreeString(excep.bstrDescription), SysFreeString(excep.bstrSource),
        SysFreeString(excep.bstrHelpFile);

    qv::com_ptr<IDispatch> vector;
    ASSERT_EQ(CoCreateInstance(CLSID_BoundNumericVectorVariable, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDispatch, vector.put_void()),
              S_OK);
    EXPECT_EQ(id_of(vector.get(), u"VectorVariableStatus"), 1);
    e.reset(), vector.reset();
    CoFreeUnusedLibraries();
}

TEST_F(Registered, ALateBoundForEachReadsEveryElementThroughItsOwnDispatch) {
    ASSERT_EQ(regsvr(QV_MODULE_PATH), 0);
    {
        qv::com_ptr<IDispatch> list;
        ASSERT_EQ(CoCreateInstance(CLSID_BoundDataVariables, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDispatch, list.put_void()),
                  S_OK);
        auto early = list.try_as<IBoundDataVariables>();
        EXPECT_EQ(early.get(),
                  static_cast<IBoundDataVariables*>(static_cast<IDispatch*>(list.get())))
            << "the collection's IDispatch is its dual interface";
        for (double x : {1.0, 2.0, 3.0}) {
            auto v = numeric();
            v->put_Value(x);
            early->Add(v.get());
        }
        VARIANT enumerator;
        VariantInit(&enumerator);
        ASSERT_EQ(call(list.get(), DISPID_NEWENUM, DISPATCH_PROPERTYGET, {}, &enumerator), S_OK);
        ASSERT_EQ(enumerator.vt, VT_UNKNOWN);
        qv::com_ptr<IEnumVARIANT> each;
        ASSERT_EQ(enumerator.punkVal->QueryInterface(IID_IEnumVARIANT, each.put_void()), S_OK);
        VariantClear(&enumerator);
        double sum = 0;
        VARIANT element;
        while (each->Next(1, &element, nullptr) == S_OK) {
            ASSERT_EQ(element.vt, VT_DISPATCH);
            VARIANT value;
            VariantInit(&value);
            EXPECT_EQ(call(element.pdispVal, 0x60020000, DISPATCH_PROPERTYGET, {}, &value), S_OK);
            sum += value.dblVal;
            VariantClear(&element);
        }
        EXPECT_EQ(sum, 6.0);
        EXPECT_EQ(id_of(list.get(), u"TaggedName"), 0x60020008);
    }
    CoFreeUnusedLibraries();
}

TEST_F(Registered, AModulePathTooLongForTheLoaderRegistersNothing) {
    fs::path deep = fs::temp_directory_path() / ("qv-long-" + std::to_string(getpid()));
    while (deep.string().size() <= 260) deep /= std::string(60, 'd');
    fs::create_directories(deep);
    fs::copy_file(QV_MODULE_PATH, deep / "quorvel.so");
    const std::string said = [&] {
        FILE* pipe = popen(
            (std::string(QV_REGSVR) + " " + (deep / "quorvel.so").string() + " 2>&1").c_str(), "r");
        std::string out;
        char buffer[512];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        if (pipe) pclose(pipe);
        return out;
    }();
    EXPECT_NE(said.find("0x8007007A"), std::string::npos) << said;
    EXPECT_FALSE(qvtest::read_value(u"Quorvel.BoundDataVariables"))
        << "nothing written for any class";
    fs::remove_all(fs::temp_directory_path() / ("qv-long-" + std::to_string(getpid())));
}
