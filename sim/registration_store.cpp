#include "sim/registration_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace qzm {

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
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

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize,
                   std::string* error) {
    // Checked before opening: opening a pipe would wait for a writer.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (error)
            *error = ErrnoText("cannot open", path);
        return false;
    }
    if (!S_ISREG(status.st_mode) || static_cast<std::uintmax_t>(status.st_size) > maxSize) {
        if (error)
            *error = path + " is not a file of at most " + std::to_string(maxSize) + " bytes";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = ErrnoText("cannot open", path);
        return false;
    }
    std::vector<std::uint8_t> read(static_cast<std::size_t>(status.st_size));
    in.read(reinterpret_cast<char*>(read.data()), static_cast<std::streamsize>(read.size()));
    // A file that changed size while it was read is not taken either.
    if (static_cast<std::size_t>(in.gcount()) != read.size() ||
        in.peek() != std::ifstream::traits_type::eof()) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    bytes = std::move(read);
    return true;
}

}  // namespace qzm
