// Album file load and save for a full store (500 users with 10 registered faces each, 20.7 MB),
// and for a tenth of it, in a temporary working folder.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/file_operate.h"
#include "registration/album_file.h"
#include "registration/reg_user_store.h"
#include "test_folder.h"

#include "album_file_bytes.h"

using namespace qzm;

namespace {

// An album file as the program writes it, with a 1000-byte album.
std::vector<std::uint8_t> AlbumFile(int users, int dataPerUser) {
    return AlbumFileBytes(std::vector<std::uint8_t>(1000, 0x33), users, dataPerUser);
}

void BM_ReadAlbumFile(benchmark::State& state) {
    const ScopedWorkingFolder folder;
    const int users = static_cast<int>(state.range(0));
    if (CFileOperate::WriteWholeFile("in.qzc", AlbumFile(users, 10)) != 0) {
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
    const ScopedWorkingFolder folder;
    const int users = static_cast<int>(state.range(0));
    CRegUserStore store;
    AlbumData album;
    if (CFileOperate::WriteWholeFile("in.qzc", AlbumFile(users, 10)) != 0 ||
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
