// The emulated module's face registrations: 500 users by 10 data entries, each a 64-byte feature vector.
//
// The scene gives every face an identity; the feature vector of a face is derived from its identity alone,
// so a face registered once is recognised whenever a face of the same identity is in view, and albums
// carry the vectors from run to run.
//
// Not thread-safe: the emulator guards its store with its own lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/emulator_album.h"

namespace qzm {

// The feature vector the emulated module computes for a face of this identity.
FeatureVector FeatureForIdentity(std::uint32_t identity);

// How alike two feature vectors are: 1000 for equal vectors, falling to 0 for unrelated ones.
int FeatureSimilarity(const FeatureVector& a, const FeatureVector& b);

class CRegistrationStore {
public:
    CRegistrationStore();

    static bool ValidUser(int user) { return user >= 0 && user < kAlbumUserCount; }
    static bool ValidData(int data) { return data >= 0 && data < kAlbumDataPerUser; }

    // The caller checks the numbers (ValidUser, ValidData).
    void Set(int user, int data, const FeatureVector& feature);
    void Erase(int user, int data);
    void EraseUser(int user);
    void Clear();

    std::size_t EntryCount() const { return count_; }
    bool Empty() const { return count_ == 0; }
    bool Has(int user, int data) const;
    // Bit j set when data number j of the user is registered.
    std::uint16_t Presence(int user) const;
    // The lowest user number with an entry; -1 when nothing is registered.
    int FirstUser() const;

    // The registered user most like the feature: user -1 when nothing is registered.
    struct Match {
        int user = -1;
        int similarity = 0;
    };
    Match BestMatch(const FeatureVector& feature) const;
    // BestMatch for a face of this identity, remembered until the store changes.
    Match BestMatchForIdentity(std::uint32_t identity) const;

    std::vector<AlbumEntry> Entries() const;  // ordered by user, then data number
    std::vector<std::uint8_t> ToAlbum() const { return EncodeAlbum(Entries()); }
    // Replaces the whole store with the album's entries; a refused album leaves the store as it was.
    AlbumCheck LoadAlbum(std::span<const std::uint8_t> album);

    bool operator==(const CRegistrationStore& other) const { return slots_ == other.slots_; }

private:
    static std::size_t Slot(int user, int data) {
        return static_cast<std::size_t>(user * kAlbumDataPerUser + data);
    }
    void Changed() { matchCache_.clear(); }

    std::vector<std::optional<FeatureVector>> slots_;  // user * 10 + data
    std::size_t count_ = 0;
    mutable std::unordered_map<std::uint32_t, Match> matchCache_;  // identity -> match; cleared on change
};

// Writes bytes to path so that a reader sees either the old file or the whole new one: a temporary file
// in the same folder, flushed, then renamed over path. False with a reason in error on failure.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error);
// Reads a whole file of at most maxSize bytes; false with a reason in error when it cannot, also for
// anything but a regular file and for a larger file, which is not read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxSize,
                   std::string* error);

}  // namespace qzm
