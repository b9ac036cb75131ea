// Save Album, Load Album and the store file of the emulator.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/emulator_album.h"
#include "sim/module_emulator.h"
#include "sim/registration_store.h"
#include "sim_test_support.h"
#include "test_folder.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "huge_files.h"
#endif

namespace qzm {
namespace {

using namespace simtest;

ParsedFrame LoadFrame(const Bytes& album, std::int64_t sizeAdjust = 0) {
    ParsedFrame frame;
    frame.code = kCmdLoadAlbum;
    frame.lengthField = 4;
    const auto size = static_cast<std::uint32_t>(static_cast<std::int64_t>(album.size()) + sizeAdjust);
    PutLE32(frame.data, static_cast<std::uint32_t>(album.size() + 8));
    PutLE32(frame.data, size);
    frame.data.insert(frame.data.end(), {1, 0, 0, 0});
    frame.data.insert(frame.data.end(), album.begin(), album.end());
    frame.announcedLength = GetLE32(frame.data.data());
    return frame;
}

// Registers three entries of two users, each from a face of identity IdentityOf(user, data).
std::uint32_t IdentityOf(int user, int data) {
    return 900 + static_cast<std::uint32_t>(user * 10 + data);
}

void Fill(CModuleEmulator& emulator) {
    emulator.SetFacesInView(1);
    for (auto [user, data] : {std::pair{5, 0}, std::pair{5, 9}, std::pair{300, 2}}) {
        emulator.SetFaceIdentity(0, IdentityOf(user, data));
        ASSERT_EQ(emulator
                      .Handle(Frame(kCmdRegister,
                                    {static_cast<std::uint8_t>(user & 0xFF),
                                     static_cast<std::uint8_t>(user >> 8), static_cast<std::uint8_t>(data)}))
                      .responseCode,
                  kRespOk);
    }
}

void FixSum(Bytes& album) {
    const std::size_t at = album.size() - 4;
    const std::uint32_t sum = AlbumSum(std::span(album).first(at));
    for (int k = 0; k < 4; ++k)
        album[at + k] = static_cast<std::uint8_t>(sum >> (8 * k));
}

TEST(EmulatedAlbum, SaveAnswerHoldsSizeFlagAndAlbum) {
    CModuleEmulator emulator(ModuleIdentity::Extended());
    ModuleReply empty = emulator.Handle(Frame(kCmdSaveAlbum));
    ASSERT_EQ(empty.responseCode, kRespOk);
    ASSERT_EQ(empty.data.size(), 8u + kEmptyAlbumSize);
    EXPECT_EQ(GetLE32(&empty.data[0]), kEmptyAlbumSize);
    EXPECT_EQ(Bytes(empty.data.begin() + 4, empty.data.begin() + 8), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(std::string(empty.data.begin() + 8, empty.data.begin() + 16), "QZMALBUM");

    Fill(emulator);
    ModuleReply full = emulator.Handle(Frame(kCmdSaveAlbum));
    ASSERT_EQ(full.data.size(), 8u + kEmptyAlbumSize + 3 * kAlbumEntrySize);
    EXPECT_EQ(GetLE32(&full.data[0]), full.data.size() - 8);
    std::vector<AlbumEntry> entries;
    ASSERT_EQ(DecodeAlbum(std::span(full.data).subspan(8), entries), AlbumCheck::kOk);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].user, 5);
    EXPECT_EQ(entries[0].data, 0);
    EXPECT_EQ(entries[1].data, 9);
    EXPECT_EQ(entries[2].user, 300);
    EXPECT_NE(entries[0].feature, entries[2].feature) << "different identities, different features";
}

TEST(EmulatedAlbum, LoadRestoresRegistrationsAndRecognition) {
    CModuleEmulator source(ModuleIdentity::Extended());
    Fill(source);
    const Bytes album = source.AlbumBytes();

    CModuleEmulator target(ModuleIdentity::Extended());
    target.SetFacesInView(1);
    ASSERT_EQ(target.Handle(Frame(kCmdRegister, {1, 0, 0})).responseCode, kRespOk);  // replaced by the load
    ASSERT_EQ(target.Handle(LoadFrame(album)).responseCode, kRespOk);
    EXPECT_EQ(target.AlbumBytes(), album);
    EXPECT_EQ(target.RegisteredEntries(), 3u);
    ModuleReply presence = target.Handle(Frame(kCmdGetUserData, {5, 0}));
    EXPECT_EQ(GetLE16(presence.data.data()), 0x0201);
    target.SetFaceIdentity(0, IdentityOf(300, 2));
    ParsedExec exec = RunExec(target, 0x04, 0x02, 0, true);
    ASSERT_EQ(exec.result.faces.size(), 1u);
    EXPECT_EQ(exec.result.faces[0].recognition.userId, 300);

    ASSERT_EQ(target.Handle(LoadFrame(EncodeAlbum({}))).responseCode, kRespOk);
    EXPECT_EQ(target.RegisteredEntries(), 0u);
}

TEST(EmulatedAlbum, MalformedAlbumsAreRefusedAndChangeNothing) {
    CModuleEmulator source(ModuleIdentity::Extended());
    Fill(source);
    const Bytes good = source.AlbumBytes();
    const std::size_t second = kAlbumHeaderSize + kAlbumEntrySize;  // the second entry

    struct Case {
        const char* name;
        void (*mutate)(Bytes&, std::size_t second);
        AlbumCheck check;
    } cases[] = {
        {"shorter than an empty album", [](Bytes& a, std::size_t) { a.resize(kEmptyAlbumSize - 1); },
         AlbumCheck::kTooShort},
        {"magic", [](Bytes& a, std::size_t) { a[3] = 'X', FixSum(a); }, AlbumCheck::kBadMagic},
        {"version", [](Bytes& a, std::size_t) { a[8] = 2, FixSum(a); }, AlbumCheck::kBadVersion},
        {"count beyond the store", [](Bytes& a, std::size_t) { a[12] = 0x89, a[13] = 0x13; },
         AlbumCheck::kBadCount},
        {"count one too many", [](Bytes& a, std::size_t) { a[12] += 1, FixSum(a); }, AlbumCheck::kBadSize},
        {"last byte missing", [](Bytes& a, std::size_t) { a.pop_back(); }, AlbumCheck::kBadSize},
        {"sum check", [](Bytes& a, std::size_t) { a.back() ^= 0x01; }, AlbumCheck::kBadSum},
        {"a feature byte", [](Bytes& a, std::size_t s) { a[s + 10] ^= 0x40; }, AlbumCheck::kBadSum},
        {"user 500", [](Bytes& a, std::size_t s) { a[s] = 0xF4, a[s + 1] = 0x01, FixSum(a); },
         AlbumCheck::kBadNumber},
        {"data 10", [](Bytes& a, std::size_t s) { a[s + 2] = 10, FixSum(a); }, AlbumCheck::kBadNumber},
        {"the same numbers twice",
         [](Bytes& a, std::size_t s) { a[s + 2] = a[s - kAlbumEntrySize + 2], FixSum(a); },
         AlbumCheck::kDuplicate},
    };
    for (const Case& c : cases) {
        Bytes album = good;
        c.mutate(album, second);
        std::vector<AlbumEntry> entries;
        EXPECT_EQ(DecodeAlbum(album, entries), c.check) << c.name;
        EXPECT_TRUE(entries.empty()) << c.name;

        CModuleEmulator emulator(ModuleIdentity::Extended());
        Fill(emulator);
        const Bytes before = emulator.AlbumBytes();
        EXPECT_EQ(emulator.Handle(LoadFrame(album)).responseCode, kRespBadAlbum) << c.name;
        EXPECT_EQ(emulator.AlbumBytes(), before) << c.name;
    }

    // The frame's own fields: an album size that is not what the prefix announced, or no fields at all.
    CModuleEmulator emulator(ModuleIdentity::Extended());
    Fill(emulator);
    const Bytes before = emulator.AlbumBytes();
    for (std::int64_t adjust : {-1, 1}) {
        EXPECT_EQ(emulator.Handle(LoadFrame(good, adjust)).responseCode, kRespBadLength) << adjust;
    }
    ParsedFrame stub = LoadFrame(good);
    stub.data.resize(8);
    EXPECT_EQ(emulator.Handle(stub).responseCode, kRespBadLength);
    EXPECT_EQ(emulator.AlbumBytes(), before);
}

TEST(EmulatedAlbum, FullStoreRoundTrips) {
    std::vector<AlbumEntry> entries;
    for (int user = 0; user < kAlbumUserCount; ++user) {
        for (int data = 0; data < kAlbumDataPerUser; ++data) {
            AlbumEntry& e = entries.emplace_back();
            e.user = static_cast<std::uint16_t>(user);
            e.data = static_cast<std::uint8_t>(data);
            e.feature = FeatureForIdentity(static_cast<std::uint32_t>(user * 10 + data));
        }
    }
    const Bytes album = EncodeAlbum(entries);
    ASSERT_EQ(album.size(), 340044u);
    CModuleEmulator emulator(ModuleIdentity::Extended());
    ASSERT_EQ(emulator.Handle(LoadFrame(album)).responseCode, kRespOk);
    EXPECT_EQ(emulator.RegisteredEntries(), 5000u);
    ModuleReply saved = emulator.Handle(Frame(kCmdSaveAlbum));
    EXPECT_EQ(saved.data.size(), 8 + album.size());
    EXPECT_LE(saved.data.size(), 816040u);
    EXPECT_EQ(Bytes(saved.data.begin() + 8, saved.data.end()), album);
    emulator.SetFacesInView(1);
    EXPECT_EQ(emulator.Handle(Frame(kCmdRegister, {0xF3, 0x01, 9})).responseCode, kRespOk)
        << "replacing is fine";
}

TEST(EmulatedAlbum, StoreFileKeepsRegistrationsBetweenRuns) {
    TestFolder folder;
    const std::string path = (folder.path() / "store.qzb").string();
    {
        CModuleEmulator emulator(ModuleIdentity::Extended());
        emulator.SetStoreFile(path);
        Fill(emulator);
        ASSERT_EQ(emulator.Handle(Frame(kCmdDeleteData, {5, 0, 9})).responseCode, kRespOk);
        EXPECT_EQ(emulator.StoreSaveFailures(), 0u);
        CModuleEmulator reader;
        ASSERT_TRUE(reader.LoadStore(path));
        EXPECT_EQ(reader.AlbumBytes(), emulator.AlbumBytes()) << "saved after every change";
    }
    CModuleEmulator next;
    std::string error;
    ASSERT_TRUE(next.LoadStore(path, &error)) << error;
    EXPECT_EQ(next.RegisteredEntries(), 2u);
    EXPECT_EQ(GetLE16(next.Handle(Frame(kCmdGetUserData, {5, 0})).data.data()), 0x0001);

    // Only the store file is left in the folder: the temporary files were renamed over it.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u);

    // A missing or malformed file leaves the store as it was.
    const Bytes before = next.AlbumBytes();
    EXPECT_FALSE(next.LoadStore((folder.path() / "missing").string(), &error));
    EXPECT_FALSE(error.empty());
    const std::string bad = (folder.path() / "bad.qzb").string();
    std::ofstream(bad, std::ios::binary) << "QZMALBUM but nothing else";
    EXPECT_FALSE(next.LoadStore(bad, &error));
    EXPECT_EQ(next.AlbumBytes(), before);
#ifndef _WIN32
    // Files larger than a full album, or endless, are refused unread (sparse files, pipes and
    // memory limits as POSIX has them).
    const std::string huge = (folder.path() / "huge.qzb").string();
    testing::MakeSparseFile(huge, off_t{1} << 40);
    const std::string above = (folder.path() / "above.qzb").string();
    testing::MakeSparseFile(above, kAlbumMaxSize + 1);
    const std::string pipe = (folder.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::vector<testing::RefusedRead> reads;
    for (const std::string& file : {huge, above, pipe, std::string("/dev/zero")}) {
        reads.push_back({file, [&next, file] { return next.LoadStore(file) ? 0 : -1; }});
    }
    testing::ExpectRefusedInLittleMemory(reads);
    EXPECT_EQ(next.AlbumBytes(), before);
#endif

    EXPECT_FALSE(next.SaveStore((folder.path() / "no" / "such" / "folder").string(), &error));

    // A store file that cannot be written is counted, and the command still succeeds.
    next.SetStoreFile((folder.path() / "no" / "store").string());
    EXPECT_EQ(next.Handle(Frame(kCmdDeleteAll)).responseCode, kRespOk);
    EXPECT_EQ(next.StoreSaveFailures(), 1u);
}

}  // namespace
}  // namespace qzm
