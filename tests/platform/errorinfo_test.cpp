#include <gtest/gtest.h>

#include <thread>

#include "quorvel/platform.h"

namespace {

qv::com_ptr<IErrorInfo> make_record(const char16_t* description, const GUID& guid) {
    qv::com_ptr<ICreateErrorInfo> builder;
    EXPECT_EQ(CreateErrorInfo(builder.put()), S_OK);
    EXPECT_EQ(builder->SetDescription(const_cast<LPOLESTR>(description)), S_OK);
    EXPECT_EQ(builder->SetGUID(guid), S_OK);
    return builder.try_as<IErrorInfo>();
}

std::u16string description_of(IErrorInfo* record) {
    qv::unique_bstr text;
    EXPECT_EQ(record->GetDescription(text.put()), S_OK);
    return std::u16string(text.view());
}

}  // namespace

TEST(ErrorInfo, TheRecordIsHandedOverOnceAndThenCleared) {
    auto record = make_record(u"Invalid Index", IID_IClassFactory);
    ASSERT_TRUE(record);
    ASSERT_EQ(SetErrorInfo(0, record.get()), S_OK);
    record.reset();

    qv::com_ptr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    EXPECT_EQ(description_of(got.get()), u"Invalid Index");
    GUID guid;
    EXPECT_EQ(got->GetGUID(&guid), S_OK);
    EXPECT_EQ(guid, IID_IClassFactory);
    qv::unique_bstr source;
    EXPECT_EQ(got->GetSource(source.put()), S_OK);
    EXPECT_EQ(source.get(), nullptr) << "no source was set";
    EXPECT_EQ(got->AddRef(), 2u);
    EXPECT_EQ(got->Release(), 1u) << "the thread no longer holds it";

    qv::com_ptr<IErrorInfo> none;
    EXPECT_EQ(GetErrorInfo(0, none.put()), S_FALSE);
    EXPECT_FALSE(none);
}

TEST(ErrorInfo, EachThreadHasItsOwnRecord) {
    ASSERT_EQ(SetErrorInfo(0, make_record(u"main", GUID_NULL).get()), S_OK);
    std::thread([] {
        qv::com_ptr<IErrorInfo> got;
        EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);
        EXPECT_EQ(SetErrorInfo(0, make_record(u"worker", GUID_NULL).get()), S_OK);
        // Released when this thread ends.
    }).join();
    qv::com_ptr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    EXPECT_EQ(description_of(got.get()), u"main");
}

TEST(ErrorInfo, ClearingAndBadArguments) {
    ASSERT_EQ(SetErrorInfo(0, make_record(u"gone", GUID_NULL).get()), S_OK);
    EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
    qv::com_ptr<IErrorInfo> got;
    EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);

    EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}
