#include "ui/pages/result_log_dlg.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/pages/page_keys.h"

namespace qzm {

namespace {

static_assert(sizeof(qintptr) >= sizeof(std::int64_t), "a packed screen point needs 64 bits");

// Texts of the log menu.
const char* const kTextLogMenu = "Log menu";
const char* const kTextCopyAll = "Copy all log(&A)";
const char* const kTextCopySelected = "Copy selected log(&S)";
const char* const kTextClear = "Clear log(&C)";
const char* const kTextResultLog = "Result log";

constexpr const char* kPreferredLogFamily = "Courier New";

// Bold black fixed-pitch text, in the preferred family where it is installed.
QTextCharFormat LogCharFormat() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontDatabase::hasFamily(QString::fromUtf8(kPreferredLogFamily))) {
        font.setFamilies({QString::fromUtf8(kPreferredLogFamily)});
    }
    font.setBold(true);
    // Plain monospaced text needs no shaping; skipping it saves a fifth of laying out a block.
    font.setStyleStrategy(QFont::PreferNoShaping);
    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(Qt::black);
    return format;
}

}  // namespace

CResultLogDlg::CResultLogDlg(const CSettingsStore& settings, QWidget* parent)
    : QWidget(parent), limitLogBlock_(settings.ReadLimitLogBlock()) {
    log_ = new COrgRichEdit(this);
    log_->setAccessibleName(QString::fromUtf8(kTextResultLog));
    // Blocks are inserted and removed by the page only; an undo history would grow for ever.
    log_->setUndoRedoEnabled(false);
    log_->setLineWrapMode(QTextEdit::NoWrap);
    // Tab stops every half inch, as log viewers usually have them, keep the columns close.
    log_->setTabStopDistance(log_->logicalDpiX() / 2.0);
    const QTextCharFormat format = LogCharFormat();
    log_->setFont(format.font());
    log_->setCurrentCharFormat(format);
    log_->SetDefaultCharFormat(format);
    ResetDocument();
    connect(log_, &COrgRichEdit::MenuRequested, this,
            [this](QPoint point) { ShowLogMenu(log_->mapToGlobal(point)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(log_);
}

QSize CResultLogDlg::sizeHint() const {
    // 315 x 183 dialog units of the usual dialog font.
    return {472, 298};
}

void CResultLogDlg::AddResult(const FunctionSwitches& functions, const CExecResult* result, int status,
                              std::uint8_t returnCode, int responseTimeMs) {
    if (result == nullptr) {
        return;
    }
    ExecutionReport posted;
    posted.functions = functions;
    posted.result = *result;
    posted.status = status;
    posted.response = returnCode;
    posted.responseTimeMs = responseTimeMs;
    // The copy travels in the call, which is run and destroyed on the window thread.
    calls_.Post([this, posted = std::move(posted)] { InsertResult(posted); });
}

void CResultLogDlg::InsertResult(const ExecutionReport& posted) {
    const std::string block = FormatResultBlock(BlockInput(posted, &users_));

    if (logOutput_ == 1) {
        logFile_.WriteLog(block, false, CurrentTime());
    }
    if (debugLog_ != nullptr) {
        debugLog_->Log(block, posted.response != 0);
    }
    if (limitLogBlock_ >= 1 && BlockCount() >= limitLogBlock_) {
        RemoveOldestBlock();
    }
    InsertBlock(block);
}

void CResultLogDlg::AddHeader(const std::string& appVersion, const std::string& firmwareVersion) {
    Q_ASSERT(QThread::currentThread() == thread());
    const std::string header = FormatHeaderBlock(appVersion, firmwareVersion);
    InsertBlock(header);
    pendingHeader_ = header;
    if (logOutput_ == 1) {
        logFile_.WriteLog(header, true, CurrentTime());
        pendingHeader_.clear();
    }
    if (debugLog_ != nullptr) {
        debugLog_->Log(header, false);
    }
}

void CResultLogDlg::SetLogOutput(int state) {
    if (state == logOutput_) {
        return;
    }
    logOutput_ = state;
    if (state == 0) {
        logFile_.Close();
    } else if (state == 1) {
        const int opened = logFile_.Open();
        if ((opened == 0 || opened == 1) && !pendingHeader_.empty()) {
            logFile_.WriteLog(pendingHeader_, true, CurrentTime());
            pendingHeader_.clear();
        }
    }
}

void CResultLogDlg::ResetDocument() {
    log_->clear();
    QTextCursor cursor(log_->document());
    QTextBlockFormat hidden;
    hidden.setLineHeight(0, QTextBlockFormat::FixedHeight);
    cursor.setBlockFormat(hidden);
    cursor.insertBlock(QTextBlockFormat(), log_->DefaultCharFormat());
    ShowTop();
}

QString CResultLogDlg::LogText() const {
    return log_->toPlainText().mid(kFirstBlockPosition);
}

void CResultLogDlg::InsertBlock(const std::string& text) {
    // The block goes in as one paragraph of its own between the hidden first paragraph and the
    // block before, its lines held apart by line breaks. The text reads and copies the same, and
    // after an insertion the control lays out only the new paragraph and moves 150 others down,
    // where line paragraphs would mean moving thousands.
    QString lines = QString::fromStdString(text);
    if (lines.endsWith(u'\n')) {
        lines.chop(1);
    }
    lines.replace(u'\n', QChar::LineSeparator);

    // One edit, so that the text is laid out once, not after the insertion and again after the
    // formatting.
    QTextCursor edit(log_->document());
    edit.beginEditBlock();
    edit.insertBlock(QTextBlockFormat(), log_->DefaultCharFormat());
    log_->InsertText(lines, kFirstBlockPosition);
    edit.endEditBlock();
    ShowTop();
    blockLengths_.push_back(static_cast<int>(lines.size()) + 1);
}

void CResultLogDlg::RemoveOldestBlock() {
    if (blockLengths_.empty()) {
        return;
    }
    // The oldest block and its paragraph end lie right before the empty last paragraph; taking
    // them out leaves the block above it untouched.
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    const int end = cursor.position();
    cursor.setPosition(std::max(kFirstBlockPosition, end - blockLengths_.front()));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    blockLengths_.pop_front();
}

void CResultLogDlg::ShowTop() {
    QTextCursor top(log_->document());
    log_->setTextCursor(top);
    log_->verticalScrollBar()->setValue(0);
}

std::unique_ptr<QMenu> CResultLogDlg::BuildLogMenu(bool deviceBusy) {
    auto menu = std::make_unique<QMenu>(QString::fromUtf8(kTextLogMenu), this);
    QAction* copyAll = menu->addAction(QString::fromUtf8(kTextCopyAll), this, &CResultLogDlg::CopyAllLog);
    QAction* copySelected =
        menu->addAction(QString::fromUtf8(kTextCopySelected), this, &CResultLogDlg::CopySelectedLog);
    QAction* clear = menu->addAction(QString::fromUtf8(kTextClear), this, &CResultLogDlg::ClearLog);
    copyAll->setEnabled(!deviceBusy);
    copySelected->setEnabled(!deviceBusy && log_->textCursor().hasSelection());
    clear->setEnabled(!deviceBusy);
    return menu;
}

void CResultLogDlg::ShowLogMenu(const QPoint& globalPos) {
    const std::unique_ptr<QMenu> menu = BuildLogMenu(deviceBusy_ && deviceBusy_());
    menu->exec(globalPos);
}

void CResultLogDlg::CopyAllLog() {
    QTextCursor all(log_->document());
    all.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    CopyRange(all);
    ShowTop();
}

void CResultLogDlg::CopySelectedLog() {
    CopyRange(log_->textCursor());
}

void CResultLogDlg::CopyRange(QTextCursor range) {
    // The hidden first paragraph is not part of the log's text.
    const int end = range.selectionEnd();
    range.setPosition(std::max(kFirstBlockPosition, range.selectionStart()));
    range.setPosition(std::max(kFirstBlockPosition, end), QTextCursor::KeepAnchor);
    log_->setTextCursor(range);
    log_->copy();
}

void CResultLogDlg::ClearLog() {
    ResetDocument();
    blockLengths_.clear();
}

void CResultLogDlg::keyPressEvent(QKeyEvent* event) {
    if (!SwallowCloseKey(*event)) {
        QWidget::keyPressEvent(event);
    }
}

}  // namespace qzm
