#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "storage_helpers.h"

using namespace qvtest;

namespace {

class Storage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes_.put()), S_OK);
        ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes_.get(), kRW | STGM_CREATE, 0, root_.put()),
                  S_OK);
    }
    // The document as it reads back from its bytes.
    qv::com_ptr<IStorage> reopen(DWORD mode = kRead) {
        root_.reset();
        qv::com_ptr<IStorage> again;
        EXPECT_EQ(StgOpenStorageOnILockBytes(bytes_.get(), nullptr, mode, nullptr, 0, again.put()),
                  S_OK);
        return again;
    }

    qv::com_ptr<ILockBytes> bytes_;
    qv::com_ptr<IStorage> root_;
};

}  // namespace

TEST_F(Storage, StreamsAndStoragesSurviveARoundTrip) {
    qv::com_ptr<IStorage> sub;
    ASSERT_EQ(root_->CreateStorage(u"Sub", kRW, 0, 0, sub.put()), S_OK);
    put_stream(sub.get(), u"Inner", bytes_of("inner bytes"));
    const GUID clsid{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    ASSERT_EQ(sub->SetClass(clsid), S_OK);
    ASSERT_EQ(sub->SetStateBits(0xF0, 0xFF), S_OK);
    sub.reset();
    put_stream(root_.get(), u"Empty", {});
    put_stream(root_.get(), u"Small", pattern(100, 1));
    put_stream(root_.get(), u"Large", pattern(5000, 2));
    ASSERT_EQ(root_->Commit(STGC_DEFAULT), S_OK);

    auto again = reopen();
    EXPECT_EQ(names_in(again.get()),
              (std::vector<std::u16string>{u"Sub", u"Empty", u"Large", u"Small"}))
        << "in the format's order: shorter names first";
    EXPECT_EQ(get_stream(again.get(), u"Empty"), std::vector<unsigned char>{});
    EXPECT_EQ(get_stream(again.get(), u"small"), pattern(100, 1))
        << "names match without regard to case";
    EXPECT_EQ(get_stream(again.get(), u"Large"), pattern(5000, 2));
    qv::com_ptr<IStorage> inner;
    ASSERT_EQ(again->OpenStorage(u"Sub", nullptr, kRead, nullptr, 0, inner.put()), S_OK);
    EXPECT_EQ(get_stream(inner.get(), u"Inner"), bytes_of("inner bytes"));
    STATSTG stat{};
    ASSERT_EQ(inner->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"Sub");
    EXPECT_EQ(stat.type, STGTY_STORAGE);
    EXPECT_EQ(stat.clsid, clsid);
    EXPECT_EQ(stat.grfStateBits, 0xF0u);
    CoTaskMemFree(stat.pwcsName);
}

TEST_F(Storage, NamesAreChecked) {
    qv::com_ptr<IStream> stream;
    for (const char16_t* bad :
         {u"", u"a/b", u"a\\b", u"a:b", u"a!b", u"0123456789012345678901234567890X"}) {
        EXPECT_EQ(root_->CreateStream(bad, kRW, 0, 0, stream.put()), STG_E_INVALIDNAME);
    }
    EXPECT_EQ(root_->CreateStream(nullptr, kRW, 0, 0, stream.put()), STG_E_INVALIDNAME);
    EXPECT_EQ(root_->CreateStream(u"0123456789012345678901234567890", kRW, 0, 0, stream.put()),
              S_OK)
        << "31 units fit";
}

TEST_F(Storage, ModeRules) {
    qv::com_ptr<IStream> stream;
    EXPECT_EQ(root_->CreateStream(u"S", STGM_READWRITE | STGM_SHARE_DENY_NONE, 0, 0, stream.put()),
              STG_E_INVALIDFLAG);
    EXPECT_EQ(root_->CreateStream(u"S", STGM_READWRITE, 0, 0, stream.put()), STG_E_INVALIDFLAG);
    ASSERT_EQ(root_->CreateStream(u"S", kRW, 0, 0, stream.put()), S_OK);
    qv::com_ptr<IStream> twice;
    EXPECT_EQ(root_->OpenStream(u"S", nullptr, kRW, 0, twice.put()), STG_E_ACCESSDENIED)
        << "already open";
    EXPECT_EQ(root_->CreateStream(u"S", kRW, 0, 0, twice.put()), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(root_->CreateStream(u"s", kRW | STGM_CREATE, 0, 0, twice.put()), STG_E_ACCESSDENIED)
        << "an open element is not replaced";
    stream.reset();
    EXPECT_EQ(root_->OpenStream(u"Missing", nullptr, kRW, 0, twice.put()), STG_E_FILENOTFOUND);
    EXPECT_EQ(root_->OpenStream(u"S", nullptr, kRW | STGM_CREATE, 0, twice.put()),
              STG_E_INVALIDFLAG);
    qv::com_ptr<IStorage> not_storage;
    EXPECT_EQ(root_->OpenStorage(u"S", nullptr, kRW, nullptr, 0, not_storage.put()),
              STG_E_FILENOTFOUND);

    // Read-only access.
    ASSERT_EQ(root_->OpenStream(u"S", nullptr, kRead, 0, stream.put()), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_ACCESSDENIED);
    stream.reset();
    root_->Commit(STGC_DEFAULT);
    auto read_only = reopen(kRead);
    EXPECT_EQ(read_only->CreateStream(u"T", kRW, 0, 0, stream.put()), STG_E_ACCESSDENIED);
    EXPECT_EQ(read_only->OpenStream(u"S", nullptr, kRW, 0, stream.put()), STG_E_ACCESSDENIED);
    EXPECT_EQ(read_only->DestroyElement(u"S"), STG_E_ACCESSDENIED);
}

TEST_F(Storage, StreamPositionsSizesClonesAndCopies) {
    qv::com_ptr<IStream> stream;
    ASSERT_EQ(root_->CreateStream(u"S", kRW, 0, 0, stream.put()), S_OK);
    ASSERT_EQ(stream->Write("hello world", 11, nullptr), S_OK);
    LARGE_INTEGER move;
    ULARGE_INTEGER at;
    move.QuadPart = -5;
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_END, &at), S_OK);
    EXPECT_EQ(at.QuadPart, 6u);
    char text[8] = {};
    ULONG read = 0;
    ASSERT_EQ(stream->Read(text, 8, &read), S_OK);
    EXPECT_EQ(read, 5u);
    EXPECT_STREQ(text, "world");
    move.QuadPart = -1;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Seek(move, 7, &at), STG_E_INVALIDFUNCTION);

    qv::com_ptr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.put()), S_OK);
    move.QuadPart = 0;
    ASSERT_EQ(clone->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(clone->Write("J", 1, nullptr), S_OK) << "a clone shares the bytes";
    ULARGE_INTEGER size;
    size.QuadPart = 4;
    ASSERT_EQ(stream->SetSize(size), S_OK);

    qv::com_ptr<IStream> copy;
    ASSERT_EQ(root_->CreateStream(u"Copy", kRW, 0, 0, copy.put()), S_OK);
    ASSERT_EQ(clone->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);
    ULARGE_INTEGER all, got, put;
    all.QuadPart = 100;
    ASSERT_EQ(clone->CopyTo(copy.get(), all, &got, &put), S_OK);
    EXPECT_EQ(got.QuadPart, 4u);
    EXPECT_EQ(put.QuadPart, 4u);
    stream.reset(), clone.reset(), copy.reset();
    EXPECT_EQ(get_stream(root_.get(), u"Copy"), bytes_of("Jell"));
}

TEST_F(Storage, ElementsAreDestroyedRenamedCopiedAndMoved) {
    put_stream(root_.get(), u"A", bytes_of("a"));
    put_stream(root_.get(), u"B", bytes_of("b"));
    EXPECT_EQ(root_->RenameElement(u"A", u"B"), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(root_->RenameElement(u"Z", u"Y"), STG_E_FILENOTFOUND);
    ASSERT_EQ(root_->RenameElement(u"A", u"Renamed"), S_OK);
    EXPECT_EQ(get_stream(root_.get(), u"Renamed"), bytes_of("a"));
    EXPECT_EQ(root_->DestroyElement(u"A"), STG_E_FILENOTFOUND);

    qv::com_ptr<IStorage> folder;
    ASSERT_EQ(root_->CreateStorage(u"Folder", kRW, 0, 0, folder.put()), S_OK);
    ASSERT_EQ(root_->MoveElementTo(u"B", folder.get(), u"Moved", STGMOVE_MOVE), S_OK);
    EXPECT_EQ(get_stream(folder.get(), u"Moved"), bytes_of("b"));
    EXPECT_EQ(names_in(root_.get()), (std::vector<std::u16string>{u"Folder", u"Renamed"}));

    // A whole storage into another document.
    qv::com_ptr<ILockBytes> other_bytes;
    qv::com_ptr<IStorage> other;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, other_bytes.put()), S_OK);
    ASSERT_EQ(StgCreateDocfileOnILockBytes(other_bytes.get(), kRW | STGM_CREATE, 0, other.put()),
              S_OK);
    folder.reset();
    ASSERT_EQ(root_->CopyTo(0, nullptr, nullptr, other.get()), S_OK);
    qv::com_ptr<IStorage> copied;
    ASSERT_EQ(other->OpenStorage(u"Folder", nullptr, kRead, nullptr, 0, copied.put()), S_OK);
    EXPECT_EQ(get_stream(copied.get(), u"Moved"), bytes_of("b"));

    // An element destroyed while open is gone for its opener.
    qv::com_ptr<IStream> open;
    ASSERT_EQ(root_->OpenStream(u"Renamed", nullptr, kRW, 0, open.put()), S_OK);
    ASSERT_EQ(root_->DestroyElement(u"Renamed"), S_OK);
    EXPECT_EQ(open->Write("x", 1, nullptr), STG_E_REVERTED);
}

TEST_F(Storage, TransactedChangesWaitForCommitAndRevertDropsThem) {
    put_stream(root_.get(), u"Kept", bytes_of("old"));
    qv::com_ptr<IStorage> sub;
    ASSERT_EQ(root_->CreateStorage(u"Sub", kRW, 0, 0, sub.put()), S_OK);
    put_stream(sub.get(), u"Inner", bytes_of("first"));
    sub.reset();

    ASSERT_EQ(root_->OpenStorage(u"Sub", nullptr, kRW | STGM_TRANSACTED, nullptr, 0, sub.put()),
              S_OK);
    put_stream(sub.get(), u"Inner", bytes_of("second"));
    put_stream(sub.get(), u"Added", bytes_of("new"));
    ASSERT_EQ(sub->Revert(), S_OK);
    EXPECT_EQ(get_stream(sub.get(), u"Inner"), bytes_of("first"));
    EXPECT_EQ(names_in(sub.get()), std::vector<std::u16string>{u"Inner"});
    put_stream(sub.get(), u"Inner", bytes_of("third"));
    ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
    put_stream(sub.get(), u"Lost", bytes_of("never committed"));
    sub.reset();

    auto again = reopen();
    qv::com_ptr<IStorage> inner;
    ASSERT_EQ(again->OpenStorage(u"Sub", nullptr, kRead, nullptr, 0, inner.put()), S_OK);
    EXPECT_EQ(get_stream(inner.get(), u"Inner"), bytes_of("third"));
    EXPECT_EQ(names_in(inner.get()), std::vector<std::u16string>{u"Inner"});
}

TEST(DocFile, CreateOpenAndTheRulesOfFiles) {
    const auto path =
        std::filesystem::temp_directory_path() / ("qv-doc-" + std::to_string(getpid()) + ".cfb");
    std::filesystem::remove(path);
    const std::u16string name = wide(path.string());
    qv::com_ptr<IStorage> doc;
    EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, doc.put()),
              STG_E_FILENOTFOUND);
    EXPECT_EQ(StgIsStorageFile(name.c_str()), STG_E_FILENOTFOUND);
    ASSERT_EQ(StgCreateDocfile(name.c_str(), kRW, 0, doc.put()), S_OK);
    EXPECT_EQ(StgIsStorageFile(name.c_str()), S_OK) << "written at once";
    put_stream(doc.get(), u"Data", pattern(3000, 9));
    doc.reset();  // a direct root saves at its final release
    qv::com_ptr<IStorage> second;
    EXPECT_EQ(StgCreateDocfile(name.c_str(), kRW, 0, second.put()), STG_E_FILEALREADYEXISTS);

    ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, kRW | STGM_TRANSACTED, nullptr, 0, doc.put()),
              S_OK);
    EXPECT_EQ(get_stream(doc.get(), u"Data"), pattern(3000, 9));
    put_stream(doc.get(), u"Data", bytes_of("changed"));
    doc.reset();  // transacted and never committed: the file keeps its old content
    ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, doc.put()), S_OK);
    EXPECT_EQ(get_stream(doc.get(), u"Data"), pattern(3000, 9));
    doc.reset();

    ASSERT_EQ(StgCreateDocfile(name.c_str(), kRW | STGM_CREATE, 0, doc.put()), S_OK);
    EXPECT_TRUE(names_in(doc.get()).empty()) << "STGM_CREATE starts afresh";
    doc.reset();

    {
        std::ofstream text(path, std::ios::trunc);
        text << std::string(1024, 'x');
    }
    EXPECT_EQ(StgIsStorageFile(name.c_str()), S_FALSE);
    EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, kRead, nullptr, 0, doc.put()),
              STG_E_INVALIDHEADER);
    std::filesystem::remove(path);
}
