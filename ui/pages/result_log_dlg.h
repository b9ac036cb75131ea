// The result log page: one read-only text with a block per execution and a header block per
// connection, the newest at the top, at most LimitLogBlock result blocks kept. Every block can also
// go to the daily result log file (while log output is on) and to the debug and error logs.
// The right-click menu copies or clears the text, but not while the module is busy (the owner gives
// the check, SetDeviceBusyCheck).
#pragma once

#include <QMenu>
#include <QPoint>
#include <QString>
#include <QTextCursor>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "device/qzm_results.h"
#include "files/demo_logger.h"
#include "files/log_file.h"
#include "present/result_text.h"
#include "ui/app/window_calls.h"
#include "ui/controls/org_rich_edit.h"

namespace qzm {

class CResultLogDlg : public QWidget {
    Q_OBJECT

public:
    // Reads LimitLogBlock (Application.ini) from settings.
    explicit CResultLogDlg(const CSettingsStore& settings, QWidget* parent = nullptr);

    // One execution's block. Callable from any thread: everything is copied into a queue that the
    // window thread empties later, formatting and inserting each result, so the caller may reuse
    // its result at once. A null result adds nothing.
    void AddResult(const FunctionSwitches& functions, const CExecResult* result, int status,
                   std::uint8_t returnCode, int responseTimeMs);

    // The header block after a connection. It never pushes a result block out, and it is kept as
    // the pending header until it has gone to the result log file.
    void AddHeader(const std::string& appVersion, const std::string& firmwareVersion);

    // Result log file output: 1 opens the day's file (writing the pending header first), 0 closes
    // it; the same value again does nothing.
    void SetLogOutput(int state);
    int LogOutput() const { return logOutput_; }

    // Registered users, for the names of recognised faces.
    void SetUserList(std::vector<UserName> users) { users_ = std::move(users); }
    const std::vector<UserName>& UserList() const { return users_; }
    // The debug and error logs every block also goes to; not owned, may be null.
    void SetDebugLog(CDemoLogger* logger) { debugLog_ = logger; }

    // The log menu ("Copy all log", "Copy selected log", "Clear log"). While the module is busy (an
    // execution or the live image runs) every item is greyed; "Copy selected log" needs a selection.
    std::unique_ptr<QMenu> BuildLogMenu(bool deviceBusy);
    // Shows the log menu at a screen point and carries out the chosen item.
    void ShowLogMenu(const QPoint& globalPos);
    // Whether an execution or the live image runs, asked when the menu opens: its items are greyed
    // meanwhile.
    void SetDeviceBusyCheck(std::function<bool()> busy) { deviceBusy_ = std::move(busy); }

    // The menu's actions: all text to the clipboard (nothing stays selected), the selection to the
    // clipboard, and an empty log (the pending header is kept for the log file).
    void CopyAllLog();
    void CopySelectedLog();
    void ClearLog();

    // The log's text as shown and copied, newest block first.
    QString LogText() const;
    int BlockCount() const { return static_cast<int>(blockLengths_.size()); }
    int LimitLogBlock() const { return limitLogBlock_; }
    const std::string& PendingHeader() const { return pendingHeader_; }
    COrgRichEdit* LogView() const { return log_; }

    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The control's text is an empty paragraph of no height, the blocks, newest first, each one
    // paragraph ending in its last line feed, and an empty last paragraph. New blocks go in after
    // the first paragraph and old ones come out before the last, so neither touches another block.
    static constexpr int kFirstBlockPosition = 1;
    void ResetDocument();

    // One execution as AddResult copied it (no frame, no answer bytes).
    void InsertResult(const ExecutionReport& posted);
    // Puts a block at the top of the log and counts it.
    void InsertBlock(const std::string& text);
    // Deletes the oldest block, at the bottom of the text.
    void RemoveOldestBlock();
    void ShowTop();
    // Copies the range to the clipboard and leaves it selected.
    void CopyRange(QTextCursor range);

    CWindowCalls calls_;  // results on their way from workers to the window thread

    COrgRichEdit* log_ = nullptr;
    // UTF-16 length of every block shown, oldest first. The blocks lie in the text newest first,
    // one after the other, so the oldest is exactly that many characters before the last paragraph.
    std::deque<int> blockLengths_;
    int limitLogBlock_ = 0;  // below 1: no limit
    std::string pendingHeader_;
    std::vector<UserName> users_;
    CLogFileOpe logFile_;
    int logOutput_ = 0;
    std::function<bool()> deviceBusy_;
    CDemoLogger* debugLog_ = nullptr;
};

}  // namespace qzm
