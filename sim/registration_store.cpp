#include "sim/registration_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "files/atomic_file.h"
#include "files/file_operate.h"
#include "files/utf8_path.h"

namespace qzm {

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

FeatureVector FeatureForIdentity(std::uint32_t identity) {
    FeatureVector feature{};
    std::uint64_t state = 0xA11B0000ull ^ (static_cast<std::uint64_t>(identity) << 20);
    for (std::size_t i = 0; i < feature.size(); i += 8) {
        std::uint64_t word = SplitMix(state);
        for (std::size_t k = 0; k < 8; ++k)
            feature[i + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    return feature;
}

int FeatureSimilarity(const FeatureVector& a, const FeatureVector& b) {
    // Unrelated vectors differ by about 85 per byte; a mean difference of 32 already counts as nobody.
    int distance = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        distance += std::abs(int(a[i]) - int(b[i]));
    int similarity = 1000 - distance * 1000 / (32 * static_cast<int>(kFeatureSize));
    return similarity < 0 ? 0 : similarity;
}

CRegistrationStore::CRegistrationStore() : slots_(kAlbumMaxEntries) {}

void CRegistrationStore::Set(int user, int data, const FeatureVector& feature) {
    auto& slot = slots_[Slot(user, data)];
    if (!slot)
        ++count_;
    slot = feature;
    Changed();
}

void CRegistrationStore::Erase(int user, int data) {
    auto& slot = slots_[Slot(user, data)];
    if (slot) {
        slot.reset();
        --count_;
        Changed();
    }
}

void CRegistrationStore::EraseUser(int user) {
    for (int data = 0; data < kAlbumDataPerUser; ++data)
        Erase(user, data);
}

void CRegistrationStore::Clear() {
    for (auto& slot : slots_)
        slot.reset();
    count_ = 0;
    Changed();
}

bool CRegistrationStore::Has(int user, int data) const {
    return slots_[Slot(user, data)].has_value();
}

std::uint16_t CRegistrationStore::Presence(int user) const {
    std::uint16_t bits = 0;
    for (int data = 0; data < kAlbumDataPerUser; ++data) {
        if (Has(user, data))
            bits = static_cast<std::uint16_t>(bits | (1u << data));
    }
    return bits;
}

CRegistrationStore::Match CRegistrationStore::BestMatch(const FeatureVector& feature) const {
    Match best;
    if (count_ == 0)
        return best;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (!slots_[slot])
            continue;
        int similarity = FeatureSimilarity(feature, *slots_[slot]);
        if (best.user < 0 || similarity > best.similarity) {
            best.user = static_cast<int>(slot / kAlbumDataPerUser);
            best.similarity = similarity;
        }
    }
    return best;
}

int CRegistrationStore::FirstUser() const {
    if (count_ == 0)
        return -1;
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (slots_[slot])
            return static_cast<int>(slot / kAlbumDataPerUser);
    }
    return -1;
}

CRegistrationStore::Match CRegistrationStore::BestMatchForIdentity(std::uint32_t identity) const {
    if (auto it = matchCache_.find(identity); it != matchCache_.end())
        return it->second;
    Match match = BestMatch(FeatureForIdentity(identity));
    matchCache_.emplace(identity, match);
    return match;
}

std::vector<AlbumEntry> CRegistrationStore::Entries() const {
    std::vector<AlbumEntry> entries;
    entries.reserve(count_);
    for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
        if (!slots_[slot])
            continue;
        AlbumEntry& entry = entries.emplace_back();
        entry.user = static_cast<std::uint16_t>(slot / kAlbumDataPerUser);
        entry.data = static_cast<std::uint8_t>(slot % kAlbumDataPerUser);
        entry.feature = *slots_[slot];
    }
    return entries;
}

AlbumCheck CRegistrationStore::LoadAlbum(std::span<const std::uint8_t> album) {
    std::vector<AlbumEntry> entries;
    AlbumCheck check = DecodeAlbum(album, entries);
    if (check != AlbumCheck::kOk)
        return check;
    Clear();
    for (const AlbumEntry& entry : entries)
        Set(entry.user, entry.data, entry.feature);
    return check;
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
    std::string reason;
    if (ReplaceFileContents(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                            &reason) == 0)
        return true;
    if (error)
        *error = "cannot replace " + path + (reason.empty() ? std::string() : ": " + reason);
    return false;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize,
                   std::string* error) {
    // Checked before opening: a pipe or a device is never read.
    std::error_code ec;
    const std::filesystem::path file = Utf8Path(path);
    const std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::exists(status)) {
        if (error)
            *error =
                "cannot open " + path + ": " +
                (ec ? ec.message() : std::make_error_code(std::errc::no_such_file_or_directory).message());
        return false;
    }
    if (!std::filesystem::is_regular_file(status) || std::filesystem::file_size(file, ec) > maxSize || ec) {
        if (error)
            *error = path + " is not a file of at most " + std::to_string(maxSize) + " bytes";
        return false;
    }
    // A file that grew past the limit while it was read is not taken either.
    std::vector<std::uint8_t> read;
    if (CFileOperate::ReadWholeFile(path, read, maxSize) != 0) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    bytes = std::move(read);
    return true;
}

}  // namespace qzm
