// A module registered with quorvel-regsvr, found by ProgID, created through
// CoCreateInstance and called late bound through its registered type library.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "quorvel/platform.h"
#include "qvtest/shapes.h"
#include "registry_dump.h"
#include "temp_registry.h"

namespace {

int run_tool(const std::string& arguments, std::string* output = nullptr) {
    FILE* pipe = popen((std::string(QV_REGSVR) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    std::string text;
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    if (output) *output = text;
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::u16string kModule(u"" QV_SHAPES_MODULE);
constexpr char16_t kLibid[] = u"{5A0C1E20-3B44-4D5E-8F60-718293A4B5C6}";

}  // namespace

TEST(Registration, BeforeRegistrationNothingIsFound) {
    qvtest::TempRegistry registry;
    qv::com_ptr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_QvShapesLib, 1, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"QvTest.Shapes", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(u"{not a guid}", &clsid), CO_E_CLASSSTRING);
    qv::com_ptr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(CLSID_TestShapes, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.put_void()),
              REGDB_E_CLASSNOTREG);
    LPOLESTR progid = nullptr;
    EXPECT_EQ(ProgIDFromCLSID(CLSID_TestShapes, &progid), REGDB_E_CLASSNOTREG);
}

TEST(Registration, RegisteredModuleIsCreatedByProgIdAndCalledLateBound) {
    qvtest::TempRegistry registry;
    std::string said;
    ASSERT_EQ(run_tool(QV_SHAPES_MODULE, &said), 0) << said;
    EXPECT_NE(said.find("Registered " QV_SHAPES_MODULE " in " + registry.path().string()),
              std::string::npos)
        << said;

    EXPECT_EQ(qvtest::read_value(u"CLSID\\{5A0C1E25-3B44-4D5E-8F60-718293A4B5C6}\\InprocServer32"),
              kModule);
    EXPECT_EQ(qvtest::read_value(std::u16string(u"TypeLib\\") + kLibid + u"\\1.0"),
              u"Quorvel automation test library");
    EXPECT_EQ(qvtest::read_value(std::u16string(u"TypeLib\\") + kLibid + u"\\1.0\\409\\win64"),
              kModule);
    EXPECT_EQ(qvtest::read_value(u"Interface\\{5A0C1E22-3B44-4D5E-8F60-718293A4B5C6}"),
              u"ITestShapes");
    EXPECT_EQ(qvtest::read_value(u"Interface\\{5A0C1E22-3B44-4D5E-8F60-718293A4B5C6}\\TypeLib"),
              kLibid);

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"QvTest.Shapes", &clsid), S_OK) << "through CurVer";
    EXPECT_EQ(clsid, CLSID_TestShapes);
    ASSERT_EQ(CLSIDFromString(u"QvTest.Shapes.1", &clsid), S_OK);
    LPOLESTR progid = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(clsid, &progid), S_OK);
    EXPECT_EQ(std::u16string(progid), u"QvTest.Shapes.1");
    CoTaskMemFree(progid);

    for (LCID lcid : {0u, 1033u, 2057u}) {
        qv::com_ptr<ITypeLib> lib;
        EXPECT_EQ(LoadRegTypeLib(LIBID_QvShapesLib, 1, 0, lcid, lib.put()), S_OK) << lcid;
    }
    qv::com_ptr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_QvShapesLib, 2, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_QvShapesLib, 1, 1, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);

    {
        qv::com_ptr<IDispatch> object;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   object.put_void()),
                  S_OK);
        LPOLESTR names[] = {const_cast<LPOLESTR>(u"name")};
        DISPID name_id = 0;
        ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0, &name_id), S_OK);
        qv::unique_bstr text(SysAllocString(u"late"));
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = text.get();
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS put_params{&value, &put, 1, 1};
        ASSERT_EQ(object->Invoke(name_id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put_params, nullptr,
                                 nullptr, nullptr),
                  S_OK);
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ASSERT_EQ(object->Invoke(name_id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                 nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(result.vt, VT_BSTR);
        EXPECT_EQ(std::u16string(result.bstrVal), u"late");
        VariantClear(&result);

        auto early = object.try_as<ITestShapes>();
        ASSERT_TRUE(early);
        LONG count = 0;
        EXPECT_EQ(early->Count(&count), S_OK);
        EXPECT_EQ(count, 3);
    }
    CoFreeUnusedLibraries();

    ASSERT_EQ(run_tool("-u " QV_SHAPES_MODULE, &said), 0) << said;
    EXPECT_FALSE(qvtest::read_value(u"QvTest.Shapes"));
    EXPECT_FALSE(qvtest::read_value(u"CLSID\\{5A0C1E25-3B44-4D5E-8F60-718293A4B5C6}"));
    EXPECT_FALSE(qvtest::read_value(u"Interface\\{5A0C1E22-3B44-4D5E-8F60-718293A4B5C6}\\TypeLib"));
    EXPECT_EQ(LoadRegTypeLib(LIBID_QvShapesLib, 1, 0, 0, lib.put()), TYPE_E_LIBNOTREGISTERED);
}

TEST(Registration, TheToolSaysWhatWentWrong) {
    qvtest::TempRegistry registry;
    std::string said;
    EXPECT_EQ(run_tool("/nonexistent/none.so", &said), 1);
    EXPECT_NE(said.find("could not be loaded"), std::string::npos) << said;
    EXPECT_EQ(run_tool("", &said), 2);

    ASSERT_EQ(run_tool(QV_SHAPES_MODULE), 0);
    std::filesystem::permissions(registry.path(), std::filesystem::perms::owner_read);
    EXPECT_EQ(run_tool("-u " QV_SHAPES_MODULE, &said), 1);
    EXPECT_NE(said.find("E_ACCESSDENIED"), std::string::npos) << said;
}

TEST(Registration, ConcurrentWritersLeaveASoundRegistryInItsLastState) {
    std::u16string expected;
    {
        qvtest::TempRegistry once;
        ASSERT_EQ(run_tool(QV_SHAPES_MODULE), 0);
        expected = qvtest::dump_registry();
    }
    qvtest::TempRegistry registry;
    const std::string command = std::string(QV_REGISTRY_STRESS) + " " QV_SHAPES_MODULE " 15";
    FILE* first = popen(command.c_str(), "r");
    FILE* second = popen(command.c_str(), "r");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(pclose(first), 0);
    EXPECT_EQ(pclose(second), 0);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(registry.path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    std::string verdict;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &verdict, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(verdict, "ok");
    EXPECT_EQ(qvtest::dump_registry(), expected);
}
