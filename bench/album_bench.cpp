// Album file load and save for a full store (500 users with 10 registered faces each, 20.7 MB),
// and for a tenth of it, in a temporary working folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files/file_operate.h"
#include "files/text_codec.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"

using namespace qzm;
namespace fs = std::filesystem;

namespace {

class BenchFolder {
public:
    BenchFolder() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "qzm-album-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            fs::current_path(path_);
        }
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        if (!path_.empty()) {
            fs::remove_all(path_, ec);
        }
    }
    bool ok() const { return !path_.empty(); }

private:
    fs::path previous_;
    fs::path path_;
};

void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutText(std::vector<std::uint8_t>& bytes, const std::string& text, std::size_t fieldBytes) {
    const std::string units = Utf8ToUtf16LeBytes(text);
    bytes.insert(bytes.end(), units.begin(), units.end());
    bytes.insert(bytes.end(), fieldBytes - units.size(), 0);
}

// An album file as the program writes it, with a 1000-byte album.
std::vector<std::uint8_t> AlbumFile(int users, int dataPerUser) {
    std::vector<std::uint8_t> bytes;
    Put32(bytes, 1000);
    bytes.insert(bytes.end(), {1, 0, 0, 0});
    bytes.insert(bytes.end(), 1000, 0x33);
    Put32(bytes, static_cast<std::uint32_t>(users));
    Put32(bytes, static_cast<std::uint32_t>(users));
    for (int id = 0; id < users; ++id) {
        Put32(bytes, static_cast<std::uint32_t>(id));
        PutText(bytes, "USER" + std::to_string(id + 1), 256);
        Put32(bytes, static_cast<std::uint32_t>(dataPerUser));
        for (int n = 0; n < dataPerUser; ++n) {
            Put32(bytes, static_cast<std::uint32_t>(n));
            PutText(bytes, "2024/05/17", 32);
            Put32(bytes, 64);
            Put32(bytes, 64);
            Put32(bytes, 0x21000044);
            for (int i = 0; i < 4096; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(i + id + n));
            }
        }
    }
    return bytes;
}

void BM_ReadAlbumFile(benchmark::State& state) {
    BenchFolder folder;
    const int users = static_cast<int>(state.range(0));
    if (!folder.ok() || CFileOperate::WriteWholeFile("in.qzc", AlbumFile(users, 10)) != 0) {
        state.SkipWithError("cannot prepare the folder");
        return;
    }
    for (auto _ : state) {
        CRegUserStore store;
        AlbumData album;
        if (ReadAlbumFile(store, "in.qzc", album) != 0) {
            state.SkipWithError("load failed");
        }
    }
    state.counters["images"] = users * 10.0;
}
BENCHMARK(BM_ReadAlbumFile)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_WriteAlbumFile(benchmark::State& state) {
    BenchFolder folder;
    const int users = static_cast<int>(state.range(0));
    CRegUserStore store;
    AlbumData album;
    if (!folder.ok() || CFileOperate::WriteWholeFile("in.qzc", AlbumFile(users, 10)) != 0 ||
        ReadAlbumFile(store, "in.qzc", album) != 0) {
        state.SkipWithError("cannot prepare the store");
        return;
    }
    for (auto _ : state) {
        if (WriteAlbumFile(store, album, "out.qzc") != 0) {
            state.SkipWithError("save failed");
        }
    }
    state.counters["images"] = users * 10.0;
}
BENCHMARK(BM_WriteAlbumFile)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
