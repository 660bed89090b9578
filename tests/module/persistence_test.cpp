// Store and Recall through storages in memory and a host's own storage.
#include "host_storage.h"
#include "host_variable.h"

using namespace qvtest;

namespace {

constexpr LONG kAccess = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

class Persistence : public ModuleHost {
  protected:
    void SetUp() override {
        ModuleHost::SetUp();
        ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes_.put()), S_OK);
        ASSERT_EQ(
            StgCreateDocfileOnILockBytes(bytes_.get(), kAccess | STGM_CREATE, 0, storage_.put()),
            S_OK);
        list_ = create<IBoundDataVariables>(CLSID_BoundDataVariables);
    }
    void TearDown() override {
        list_.reset(), storage_.reset(), bytes_.reset();
        ModuleHost::TearDown();
    }

    HRESULT store(IUnknown* where = nullptr) {
        return list_->Store(kAccess, where ? where : storage_.get(), name_.put_addr());
    }
    HRESULT recall(IUnknown* where = nullptr) {
        return list_->Recall(kAccess, where ? where : storage_.get(), name_.put_addr());
    }

    std::vector<unsigned char> stream_bytes() {
        qv::com_ptr<IStream> s;
        EXPECT_EQ(storage_->OpenStream(u"Values", nullptr, kAccess, 0, s.put()), S_OK);
        std::vector<unsigned char> out(1 << 16);
        ULONG read = 0;
        s->Read(out.data(), static_cast<ULONG>(out.size()), &read);
        out.resize(read);
        return out;
    }
    void put_stream_bytes(const std::vector<unsigned char>& data) {
        qv::com_ptr<IStream> s;
        ASSERT_EQ(storage_->CreateStream(u"Values", kAccess | STGM_CREATE, 0, 0, s.put()), S_OK);
        s->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
    }

    // The four variables of the worked example, added in order.
    void add_example() {
        auto n = numeric();
        n->put_Value(1.5);
        auto e = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
        e->CreateOnRequest(1), e->put_Value(0, 4), e->put_Value(1, 7),
            e->put_VariableStatus(eCalculated);
        auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
        v->put_Value(0, 2.0), v->put_VectorVariableStatus(0, eSpecified),
            v->put_VariableStatus(eDefault);
        auto s = create<IBoundStringVariable>(CLSID_BoundStringVariable);
        qv::unique_bstr ab(SysAllocString(u"ab"));
        s->put_Value(ab.get());
        for (IBoundDataVariable* x :
             std::initializer_list<IBoundDataVariable*>{n.get(), e.get(), v.get(), s.get()})
            list_->Add(x);
    }
    template <class I>
    qv::com_ptr<I> at(LONG i) {
        qv::com_ptr<IBoundDataVariable> v;
        list_->Item(i, v.put());
        return v.try_as<I>();
    }

    struct Name {
        BSTR b = SysAllocString(u"Values");
        ~Name() { SysFreeString(b); }
        BSTR* put_addr() { return &b; }
    } name_;
    qv::com_ptr<ILockBytes> bytes_;
    qv::com_ptr<IStorage> storage_;
    qv::com_ptr<IBoundDataVariables> list_;
};

const std::vector<unsigned char> kExample = {
    0x02, 0x00, 0x04, 0x00, 0x00, 0x00,                                      // header
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // numeric
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F, 0x01, 0x00, 0x00, 0x00, 0x01,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // enumeration
    0x04, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // vector
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x04,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x61, 0x62,  // string
};

}  // namespace

TEST_F(Persistence, TheWorkedExampleAndTheEmptyCollectionByteForByte) {
    ASSERT_EQ(store(), S_OK);
    EXPECT_EQ(stream_bytes(), (std::vector<unsigned char>{0x02, 0, 0, 0, 0, 0}));
    add_example();
    ASSERT_EQ(store(), S_OK);
    EXPECT_EQ(stream_bytes(), kExample) << "an existing stream is replaced";
}

TEST_F(Persistence, ARoundTripRestoresValuesAndStatuses) {
    add_example();
    ASSERT_EQ(store(), S_OK);
    at<IBoundNumericVariable>(0)->put_Value(99);
    at<IBoundNumericVariable>(0)->put_VariableStatus(eDefault);
    at<IBoundEnumVariable>(1)->put_Value(1, 0);
    at<IBoundNumericVectorVariable>(2)->put_Value(0, -5);
    at<IBoundNumericVectorVariable>(2)->put_VectorVariableStatus(0, eCalculated);
    qv::unique_bstr other(SysAllocString(u"zz"));
    at<IBoundStringVariable>(3)->put_Value(other.get());
    auto sink = qv::make<Sink>("sink");
    at<IBoundNumericVariable>(0)->SetNotificationInterface(sink.get());

    ASSERT_EQ(recall(), S_OK);
    double value = 0;
    tagVariableStatus status{};
    at<IBoundNumericVariable>(0)->get_Value(&value);
    at<IBoundNumericVariable>(0)->get_VariableStatus(&status);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(status, eSpecified);
    EXPECT_EQ(sink->changes, 1) << "the recalled write notifies as any write";
    LONG choice = 0;
    at<IBoundEnumVariable>(1)->get_Value(1, &choice);
    EXPECT_EQ(choice, 7);
    at<IBoundNumericVectorVariable>(2)->get_Value(0, &value);
    at<IBoundNumericVectorVariable>(2)->get_VectorVariableStatus(0, &status);
    EXPECT_EQ(value, 2.0);
    EXPECT_EQ(status, eSpecified);
    qv::unique_bstr text;
    at<IBoundStringVariable>(3)->get_Value(text.put());
    EXPECT_EQ(text.view(), u"ab");
}

TEST_F(Persistence, RecordsMatchEntriesByPositionAndKind) {
    add_example();
    ASSERT_EQ(store(), S_OK);
    qv::com_ptr<IBoundDataVariable> wrong_kind = at<IBoundDataVariable>(1);
    wrong_kind->put_VariableType(eStringVariable);
    at<IBoundNumericVectorVariable>(2)->put_Value(0, 100);
    auto extra = numeric();
    extra->put_Value(8);
    list_->Add(extra.get());
    ASSERT_EQ(recall(), S_OK);
    LONG choice = 0;
    at<IBoundEnumVariable>(1)->get_Value(0, &choice);
    EXPECT_EQ(choice, 4) << "a mismatched entry is left as it was";
    double value = 0;
    at<IBoundNumericVectorVariable>(2)->get_Value(0, &value);
    EXPECT_EQ(value, 2.0) << "the next one is still filled";
    extra->get_Value(&value);
    EXPECT_EQ(value, 8) << "entries beyond the records stay";
}

TEST_F(Persistence, AnOlderStreamHasNoStatuses) {
    auto n = numeric();
    n->put_VariableStatus(eCalculated);
    auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    list_->Add(n.get()), list_->Add(v.get());
    put_stream_bytes(
        {0x01, 0x00, 0x02, 0x00, 0x00, 0x00,                                            // version 1
         0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0x10, 0x40,  // 4.0
         0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0x14, 0x40});  // [5.0]
    ASSERT_EQ(recall(), S_OK);
    double value = 0;
    tagVariableStatus status{};
    n->get_Value(&value), n->get_VariableStatus(&status);
    EXPECT_EQ(value, 4.0);
    EXPECT_EQ(status, eCalculated) << "unchanged";
    v->get_Value(0, &value);
    EXPECT_EQ(value, 5.0);
}

TEST_F(Persistence, SparseEnumerationOffsetsAndAbsentOnes) {
    auto e = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    e->CreateOnRequest(1), e->put_Value(0, 11), e->put_Value(5, 55), e->CreateOnRequest(0);
    list_->Add(e.get());
    ASSERT_EQ(store(), S_OK);
    const auto stored = stream_bytes();
    ASSERT_EQ(stored.size(), 6u + 8 + 4 + 8);
    EXPECT_EQ(stored[14], 2) << "two values: offsets 0 and 1";
    EXPECT_EQ(stored[22], 0) << "offset 1 absent: its preset";

    auto target = create<IBoundEnumVariable>(CLSID_BoundEnumVariable);
    target->CreateOnRequest(1), target->put_Value(0, 1), target->CreateOnRequest(0);
    list_->Remove(0), list_->Add(target.get());
    SetErrorInfo(0, nullptr);
    ASSERT_EQ(recall(), S_OK);
    LONG n = 0;
    target->VectorLength(&n);
    EXPECT_EQ(n, 1) << "offset 1 is not created";
    qv::com_ptr<IErrorInfo> left;
    ASSERT_EQ(GetErrorInfo(0, left.put()), S_OK);
    qv::unique_bstr text;
    left->GetDescription(text.put());
    EXPECT_EQ(text.view(), u"Invalid Index");
}

TEST_F(Persistence, StorageThatIsNotOneAndBadArguments) {
    auto host = qv::make<HostVariable>(u"not a storage");
    const ULONG before = host->references();
    EXPECT_EQ(list_->Store(kAccess, host.get(), name_.put_addr()), E_FAIL);
    EXPECT_EQ(list_->Recall(kAccess, host.get(), name_.put_addr()), E_FAIL);
    EXPECT_EQ(host->references(), before);
    EXPECT_EQ(list_->Store(kAccess, nullptr, name_.put_addr()), E_FAIL);
    EXPECT_EQ(list_->Store(kAccess, storage_.get(), nullptr), E_POINTER);
    EXPECT_EQ(list_->Recall(kAccess, storage_.get(), nullptr), E_POINTER);
    EXPECT_EQ(recall(), STG_E_FILENOTFOUND) << "no such stream: OpenStream's own result";
}

TEST_F(Persistence, AStorageThatCannotCreateIsWrittenThroughTheOpenedStream) {
    auto host = qv::make<HostStorage>();
    host->stream->bytes.assign(200, 0xEE);
    host->refuse_create = true;
    ASSERT_EQ(store(host.get()), S_OK);
    ASSERT_EQ(host->stream->bytes.size(), 200u) << "overwritten from its start, not shortened";
    EXPECT_EQ(
        std::vector<unsigned char>(host->stream->bytes.begin(), host->stream->bytes.begin() + 6),
        (std::vector<unsigned char>{2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host->stream->bytes[6], 0xEE);
}

TEST_F(Persistence, AFailureIsNeverReportedAsSuccess) {
    add_example();
    auto host = qv::make<HostStorage>();
    host->stream->fail_writes_after = 30;
    EXPECT_EQ(store(host.get()), STG_E_MEDIUMFULL) << "the first failing write after the header";
    EXPECT_EQ(host->stream->bytes.size(), 30u) << "what was written stays";

    host->stream->fail_writes_after = SIZE_MAX;
    ASSERT_EQ(store(host.get()), S_OK);
    at<IBoundStringVariable>(3)->put_Value(nullptr);
    host->stream->fail_reads_after = 60;
    EXPECT_EQ(recall(host.get()), STG_E_READFAULT);
    qv::unique_bstr text;
    at<IBoundStringVariable>(3)->get_Value(text.put());
    EXPECT_EQ(text.view(), u"") << "nothing after the failing read";
}

TEST_F(Persistence, ADamagedStreamIsTrustedForNothing) {
    add_example();
    auto vector = at<IBoundNumericVectorVariable>(2);
    vector->put_Value(1, 50.0);
    // Cut inside the vector's first element: its value is made of the preset
    // and the stream's bytes, so nothing of it, and nothing after it, applies.
    std::vector<unsigned char> cut(kExample.begin(), kExample.begin() + 62);
    put_stream_bytes(cut);
    vector->put_Value(0, 33.0);
    auto text = at<IBoundStringVariable>(3);
    qv::unique_bstr kept(SysAllocString(u"kept"));
    text->put_Value(kept.get());
    ASSERT_EQ(recall(), S_OK) << "a stream that simply ends early";
    double value = 0;
    vector->get_Value(0, &value);
    EXPECT_EQ(value, 33.0);
    qv::unique_bstr after;
    text->get_Value(after.put());
    EXPECT_EQ(after.view(), u"kept");
    LONG n = 0;
    vector->VectorLength(&n);
    EXPECT_EQ(n, 2) << "no element past the end was written as a preset";

    // Counts far beyond what the stream holds make it neither allocate nor loop.
    put_stream_bytes({0x02, 0, 1, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'x'});
    list_->Remove(0), list_->Remove(0), list_->Remove(0);
    ASSERT_EQ(recall(), S_OK);
    text->get_Value(after.put());
    EXPECT_EQ(after.view(), u"kept") << "a text the stream cannot hold whole is not applied";
}

TEST_F(Persistence, AVectorRecordSetsItsIndicesAndLeavesTheRest) {
    auto v = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    v->put_Value(0, 1.0), v->put_Value(1, 2.0);
    list_->Add(v.get());
    ASSERT_EQ(store(), S_OK);
    v->put_Value(0, 10.0), v->put_Value(2, 30.0);
    ASSERT_EQ(recall(), S_OK);
    double value = 0;
    v->get_Value(0, &value);
    EXPECT_EQ(value, 1.0);
    v->get_Value(2, &value);
    EXPECT_EQ(value, 30.0) << "an element beyond the record stays";

    auto fresh = create<IBoundNumericVectorVariable>(CLSID_BoundNumericVectorVariable);
    fresh->put_Value(7, 7.0);
    list_->Remove(0), list_->Add(fresh.get());
    ASSERT_EQ(recall(), S_OK);
    LONG n = 0;
    fresh->VectorLength(&n);
    EXPECT_EQ(n, 3) << "absent indices 0 and 1 are made";
    fresh->get_Value(1, &value);
    EXPECT_EQ(value, 2.0);
}
