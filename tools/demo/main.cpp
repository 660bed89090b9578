// The demo host: everything a host does with Quorvel, step by step, said in
// plain words.
//
//   quorvel-demo [DOCUMENT]   (default: quorvel-demo.cfb in the current folder)
#include <cstdio>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"

namespace {

std::string name_of(IBoundDataVariable* v) {
    qv::unique_bstr name;
    v->get_TaggedName(name.put());
    return qv::to_utf8(name.view());
}

void step(const char* text) {
    std::printf("\n== %s\n", text);
}

bool check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return true;
    std::fprintf(stderr, "quorvel-demo: %s failed: %s\n", what, qv::hresult_text(hr).c_str());
    return false;
}

// The host's sink: says what it hears.
class PrintingSink final : public qv::implements<PrintingSink, IBoundDataNotification> {
  public:
    HRESULT STDMETHODCALLTYPE NotifyVariableChanging(IBoundDataVariable* v) override {
        std::printf("   sink: %s changed\n", name_of(v).c_str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnFinalRelease(IBoundDataVariable* v) override {
        std::printf("   sink: %s is going away\n", name_of(v).c_str());
        return S_OK;
    }
};

template <class I>
qv::com_ptr<I> create(const char16_t* progid) {
    CLSID clsid{};
    qv::com_ptr<I> object;
    if (check(CLSIDFromProgID(progid, &clsid), "CLSIDFromProgID"))
        check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, qv::iid_of<I>,
                               object.put_void()),
              "CoCreateInstance");
    return object;
}

void name(IBoundDataVariable* v, const char16_t* tag) {
    qv::unique_bstr text(SysAllocString(tag));
    v->put_TaggedName(text.get());
}

void say_values(IBoundNumericVariable* flow, IBoundStringVariable* label,
                IBoundNumericVectorVariable* profile, IBoundEnumVariable* mode) {
    double value = 0, first = 0, second = 0;
    qv::unique_bstr text;
    LONG chosen = 0;
    flow->get_Value(&value);
    label->get_Value(text.put());
    profile->get_Value(0, &first);
    profile->get_Value(1, &second);
    mode->get_Value(0, &chosen);
    std::printf("   FEED.FLOW = %g, FEED.LABEL = \"%s\", T.PROFILE = [%g, %g], PUMP.MODE = %d\n",
                value, qv::to_utf8(text.view()).c_str(), first, second, chosen);
}

int run(const std::string& document) {
    step("Registering quorvel.so");
    char16_t self[4096];
    std::u16string module_path(self, GetModuleFileName(nullptr, self, 4096));
    module_path = module_path.substr(0, module_path.find_last_of(u'/') + 1) + u"quorvel.so";
    HMODULE module = LoadLibrary(module_path.c_str());
    if (!module)
        return std::fprintf(stderr, "quorvel-demo: cannot load %s\n",
                            qv::to_utf8(module_path).c_str()),
               1;
    auto register_server =
        reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
    if (!check(register_server(), "DllRegisterServer")) return 1;
    char16_t registry[4096];
    QvRegistryPath(registry, 4096);
    std::printf("   registered %s in %s\n", qv::to_utf8(module_path).c_str(),
                qv::to_utf8(registry).c_str());

    step("Creating a collection and one variable of each kind by ProgID");
    auto list = create<IBoundDataVariables>(u"Quorvel.BoundDataVariables");
    auto flow = create<IBoundNumericVariable>(u"Quorvel.BoundNumericVariable");
    auto label = create<IBoundStringVariable>(u"Quorvel.BoundStringVariable");
    auto profile = create<IBoundNumericVectorVariable>(u"Quorvel.BoundNumericVectorVariable");
    auto mode = create<IBoundEnumVariable>(u"Quorvel.BoundEnumVariable");
    if (!list || !flow || !label || !profile || !mode) return 1;
    name(flow.get(), u"FEED.FLOW"), name(label.get(), u"FEED.LABEL");
    name(profile.get(), u"T.PROFILE"), name(mode.get(), u"PUMP.MODE");
    qv::unique_bstr off(SysAllocString(u"Off")), on(SysAllocString(u"On"));
    mode->Initialize(0, off.get()), mode->Initialize(1, on.get()), mode->CreateOnRequest(1);
    auto sink = qv::make<PrintingSink>();
    for (IBoundDataVariable* v : {static_cast<IBoundDataVariable*>(flow.get()),
                                  static_cast<IBoundDataVariable*>(label.get()),
                                  static_cast<IBoundDataVariable*>(profile.get()),
                                  static_cast<IBoundDataVariable*>(mode.get())}) {
        v->SetNotificationInterface(sink.get());
        list->Add(v);
    }
    LONG count = 0;
    list->Count(&count);
    std::printf("   the collection holds %d variables, each watched by a printing sink\n", count);

    step(
        "Writing values (the sinks hear of numeric, vector and enumeration writes, and enumeration "
        "reads)");
    qv::unique_bstr feed(SysAllocString(u"Crude feed"));
    flow->put_Value(125.5), label->put_Value(feed.get());
    profile->put_Value(0, 20.0), profile->put_Value(1, 85.0), mode->put_Value(0, 1);
    flow->put_VariableStatus(eCalculated);
    say_values(flow.get(), label.get(), profile.get(), mode.get());

    step("Storing the collection into a compound file");
    qv::com_ptr<IStorage> doc;
    if (!check(StgCreateDocfile(qv::from_utf8(document).c_str(),
                                STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, doc.put()),
               "StgCreateDocfile"))
        return 1;
    qv::unique_bstr stream_name(SysAllocString(u"Values"));
    BSTR name_ptr = stream_name.get();
    const LONG access = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (!check(list->Store(access, doc.get(), &name_ptr), "Store") ||
        !check(doc->Commit(STGC_DEFAULT), "Commit"))
        return 1;
    std::printf("   stored into %s, stream \"Values\"\n", document.c_str());

    step("Changing every value");
    qv::unique_bstr other(SysAllocString(u"Changed"));
    flow->put_Value(0), label->put_Value(other.get()), profile->put_Value(0, -1),
        mode->put_Value(0, 0);
    say_values(flow.get(), label.get(), profile.get(), mode.get());

    step("Recalling the stored values (the sinks hear of each restored write)");
    if (!check(list->Recall(access, doc.get(), &name_ptr), "Recall")) return 1;
    say_values(flow.get(), label.get(), profile.get(), mode.get());

    step("Taking a snapshot, then changing the original");
    qv::com_ptr<IBoundDataVariables> snapshot;
    if (!check(list->GetSnapShot(snapshot.put()), "GetSnapShot")) return 1;
    flow->put_Value(999);
    qv::com_ptr<IBoundDataVariable> copy;
    snapshot->Item(0, copy.put());
    double copied = 0;
    copy.try_as<IBoundNumericVariable>()->get_Value(&copied);
    std::printf("   the snapshot's %s still holds %g; the original now holds 999\n",
                name_of(copy.get()).c_str(), copied);

    step("Walking the collection with _NewEnum, reading each TaggedName late bound");
    qv::com_ptr<IUnknown> unknown;
    list->get__NewEnum(unknown.put());
    auto each = unknown.try_as<IEnumVARIANT>();
    VARIANT element;
    while (each && each->Next(1, &element, nullptr) == S_OK) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(u"TaggedName")};
        DISPID id = 0;
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        if (element.vt == VT_DISPATCH &&
            SUCCEEDED(element.pdispVal->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) &&
            SUCCEEDED(element.pdispVal->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                               &result, nullptr, nullptr)))
            std::printf("   element: %s (DISPID 0x%08X through IDispatch)\n",
                        qv::to_utf8(result.bstrVal).c_str(), static_cast<unsigned>(id));
        VariantClear(&result);
        VariantClear(&element);
    }

    step("Setting FEED.FLOW late bound through IDispatch");
    auto dispatch = flow.try_as<IDispatch>();
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R8;
    value.dblVal = 42.0;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    if (!check(dispatch->Invoke(0x60020000, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                nullptr, nullptr),
               "Invoke"))
        return 1;
    double now = 0;
    flow->get_Value(&now);
    std::printf("   FEED.FLOW now holds %g\n", now);

    step("Letting go (the string variable tells its sink it is going away)");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string document = argc > 1 ? argv[1] : "quorvel-demo.cfb";
    const int result = run(document);
    CoFreeUnusedLibraries();
    if (result == 0)
        std::printf("\nInspect what was stored with:\n   quorvel-stg show %s Values\n",
                    document.c_str());
    return result;
}
