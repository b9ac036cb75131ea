// The main operation page: the image page, the execution panel and the result log side by side.
// Its owner connects to the children's requests; the page shows each execution on the image page
// and in the log.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/settings_store.h"
#include "device/qzm_results.h"
#include "image/image_data.h"

namespace qzm {

class CImageDlg;
class CExecuteDlg;
class CResultLogDlg;

// One execution as the window thread shows it: its own copy of everything.
struct ExecutionReport {
    FunctionSwitches functions{};  // what was asked for
    int status = 0;                // exchange result
    std::uint8_t response = 0;     // the module's response code
    CExecResult result;
    CImageData image;  // the module's grey frame; 0 x 0 when none came
    int responseTimeMs = 0;
};

class CMainOpeDlg : public QWidget {
    Q_OBJECT

public:
    explicit CMainOpeDlg(const CSettingsStore& settings, QWidget* parent = nullptr);

    CImageDlg& ImagePage() { return *image_; }
    CExecuteDlg& ExecutePanel() { return *execute_; }
    CResultLogDlg& ResultLog() { return *log_; }

    // An execution that came through: the frame and overlay on the image page, a block in the log.
    void ShowExecution(const ExecutionReport& report);

private:
    CImageDlg* image_;
    CExecuteDlg* execute_;
    CResultLogDlg* log_;
};

}  // namespace qzm
