// The main operation page: the image page, the execution panel and the result log side by side.
// Its owner connects to the children's requests; the page shows each execution on the image page
// and in the log.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/settings_store.h"
#include "device/execution_report.h"
#include "image/image_data.h"

namespace qzm {

class CImageDlg;
class CExecuteDlg;
class CResultLogDlg;

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
