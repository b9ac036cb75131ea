// The album page with a full store, offscreen, against the emulated module:
//   BM_LoadFullAlbumFromPage  an album file of 500 users x 10 faces opened from the page, through
//                             the progress dialog. While it loads, a timer on the window thread
//                             records the longest stretch without a tick (the window could not
//                             paint) and the longest stretch without the bar moving.
//   BM_RefreshUsers           the user list of 500 rows filled from empty, and rewritten for a
//                             rename, including the repaint that follows.
// The working folder is a new folder under TMPDIR: the load writes some 15 000 files there, so the
// file system under it sets the pace of the load's first half.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "album_file_bytes.h"
#include "files/file_operate.h"
#include "sim/emulator_album.h"
#include "ui/demo_harness.h"
#include "ui/dialog_script.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/dialogs/progress_dlg.h"
#include "ui/pages/reg_user_dlg.h"
#include "ui/pages/regist_dlg.h"

using namespace qzm;

namespace {

constexpr int kUsers = 500;
constexpr int kFaces = 10;

// The album file: the emulator's own album of 5000 entries and the PC's 500 users.
std::vector<std::uint8_t> FullAlbumFile() {
    std::vector<AlbumEntry> entries;
    for (int user = 0; user < kUsers; ++user) {
        for (int data = 0; data < kFaces; ++data) {
            AlbumEntry entry;
            entry.user = static_cast<std::uint16_t>(user);
            entry.data = static_cast<std::uint8_t>(data);
            entry.feature.fill(static_cast<std::uint8_t>(user * kFaces + data));
            entries.push_back(entry);
        }
    }
    return AlbumFileBytes(EncodeAlbum(entries), kUsers, kFaces);
}

// While the progress dialog is up: the longest gap between the window thread's timer ticks and
// between moves of the bar.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(CProgressDlg& dialog) : dialog_(dialog) {
        connect(dialog.findChild<QProgressBar*>(), &QProgressBar::valueChanged, this, [this](int value) {
            if (!dialog_.isVisible())
                return;
            const qint64 now = clock_.elapsed();
            if (lastMove_ >= 0 && now - lastMove_ > maxMoveGap_) {
                maxMoveGap_ = now - lastMove_;
                maxMoveGapEndValue_ = value;
            }

            lastMove_ = now;
            ++moves_;
        });
        connect(&tick_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.elapsed();
            if (!dialog_.isVisible()) {
                lastTick_ = lastMove_ = -1;
                return;
            }
            if (lastTick_ >= 0)
                maxTickGap_ = std::max(maxTickGap_, now - lastTick_);
            else
                lastMove_ = now;  // just shown: the bar's first move counts from here
            lastTick_ = now;
        });
        clock_.start();
        tick_.start(5);
    }
    qint64 maxTickGap_ = 0;
    qint64 maxMoveGap_ = 0;
    int maxMoveGapEndValue_ = 0;  // the bar's value when its longest still stretch ended
    int moves_ = 0;

private:
    CProgressDlg& dialog_;
    QElapsedTimer clock_;
    QTimer tick_;
    qint64 lastTick_ = -1;
    qint64 lastMove_ = -1;
};

void BM_LoadFullAlbumFromPage(benchmark::State& state) {
    qzm_test::DemoHarness demo;
    if (CFileOperate::WriteWholeFile("full.qzc", FullAlbumFile()) != 0 || !demo.Connect()) {
        state.SkipWithError("cannot prepare the module or the file");
        return;
    }
    auto dialog = demo.OpenMainWindow();
    if (!dialog) {
        state.SkipWithError("the main window did not start");
        return;
    }
    QTest::mouseClick(&dialog->AlbumButton(), Qt::LeftButton);
    qzm_test::DialogScript<COrgFileDlg> files;
    PaintWatch watch(dialog->ProgressDialog());
    for (auto _ : state) {
        // Do not save the current album first; then "Album loaded.".
        files.Add(qzm_test::ChooseFile(QDir::current().filePath(QStringLiteral("full.qzc"))));
        demo.messenger.Script({MsgAnswer::kNo, MsgAnswer::kOk});
        QTest::mouseClick(&dialog->AlbumPage().OpenButton(), Qt::LeftButton);
        if (demo.messenger.Messages().back().id != 5031 ||
            dialog->AlbumPage().UserPanel().List().topLevelItemCount() != kUsers) {
            state.SkipWithError("the album was not loaded");
            break;
        }
    }
    state.counters["max_window_gap_ms"] = static_cast<double>(watch.maxTickGap_);
    state.counters["max_bar_gap_ms"] = static_cast<double>(watch.maxMoveGap_);
    state.counters["bar_moves"] = watch.moves_;
    state.counters["longest_gap_ended_at"] = watch.maxMoveGapEndValue_;
}
BENCHMARK(BM_LoadFullAlbumFromPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

std::vector<UserSummary> Users(const std::string& firstName) {
    std::vector<UserSummary> users;
    for (int id = 0; id < kUsers; ++id)
        users.push_back({id, id == 0 ? firstName : "USER" + std::to_string(id + 1), kFaces});
    return users;
}

// state.range(0): 0 fills the list from empty, 1 renames the first user.
void BM_RefreshUsers(benchmark::State& state) {
    const bool rename = state.range(0) == 1;
    CRegistDlg page(true);
    CRegUserDlg& list = page.UserPanel();
    page.show();
    QApplication::processEvents();
    const std::vector<UserSummary> names[2] = {Users("USER1"), Users("Ελένη 山田")};
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (rename)
            list.RefreshUsers(names[turn % 2]);
        else
            list.Reset();
        QApplication::processEvents();
        ++turn;
        state.ResumeTiming();
        list.RefreshUsers(names[turn % 2]);
        QApplication::processEvents();  // the repaint
    }
    state.SetLabel(rename ? "rename" : "from empty");
}
BENCHMARK(BM_RefreshUsers)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
