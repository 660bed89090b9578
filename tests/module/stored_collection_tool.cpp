// Stores a collection of every variable kind into a compound file, or recalls
// one from it and prints what came back: run as two processes to see a
// document outlive the process that wrote it.
//
//   stored_collection_tool store FILE
//   stored_collection_tool recall FILE
#include <cstdio>
#include <cstring>
#include <string>

#include "quorvel/platform.h"
#include "quorvel/quorvel.h"
#include "quorvel_module.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const bool storing = std::strcmp(argv[1], "store") == 0;
    const std::string file = argv[2];
    {
        auto list = qvtest::make_object<IBoundDataVariables>(CLSID_BoundDataVariables);
        auto number = qvtest::make_object<IBoundNumericVariable>(CLSID_BoundNumericVariable);
        auto text = qvtest::make_object<IBoundStringVariable>(CLSID_BoundStringVariable);
        auto vector =
            qvtest::make_object<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
        auto choice = qvtest::make_object<IBoundEnumVariable>(CLSID_BoundEnumVariable);
        choice->CreateOnRequest(1);
        if (storing) {
            qv::unique_bstr word(SysAllocString(u"stored text"));
            number->put_Value(0.1), number->put_VariableStatus(eCalculated),
                text->put_Value(word.get());
            vector->put_Value(0, 1e300), vector->put_Value(1, -0.5),
                vector->put_VectorVariableStatus(1, eCalculated);
            choice->put_Value(0, 3), choice->put_Value(1, -9);
        }
        list->Add(number.get()), list->Add(text.get()), list->Add(vector.get()),
            list->Add(choice.get());

        const std::u16string name(file.begin(), file.end());
        qv::com_ptr<IStorage> doc;
        const DWORD mode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
        HRESULT hr = storing ? StgCreateDocfile(name.c_str(), mode | STGM_CREATE, 0, doc.put())
                             : StgOpenStorage(name.c_str(), nullptr, mode, nullptr, 0, doc.put());
        if (FAILED(hr)) return 4;
        BSTR stream = SysAllocString(u"Values");
        hr = storing ? list->Store(mode, doc.get(), &stream)
                     : list->Recall(mode, doc.get(), &stream);
        SysFreeString(stream);
        if (FAILED(hr)) return 5;
        if (storing) return SUCCEEDED(doc->Commit(STGC_DEFAULT)) ? 0 : 6;

        double value = 0, first = 0, second = 0;
        tagVariableStatus status{}, element_status{};
        qv::unique_bstr word;
        LONG a = 0, b = 0;
        number->get_Value(&value), number->get_VariableStatus(&status), text->get_Value(word.put());
        vector->get_Value(0, &first), vector->get_Value(1, &second),
            vector->get_VectorVariableStatus(1, &element_status);
        choice->get_Value(0, &a), choice->get_Value(1, &b);
        std::printf("%.17g %d %s %.17g %.17g %d %d %d\n", value, status,
                    std::string(word.view().begin(), word.view().end()).c_str(), first, second,
                    element_status, a, b);
    }
    return 0;
}
