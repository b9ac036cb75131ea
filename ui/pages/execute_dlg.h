// The execution panel: execute once, continuous execution on/off, recording on/off (with or without
// frames), the settings button, the transfer image size and the function switches. It only raises requests;
// the main dialog runs them. The rate line shows how many results per second continuous execution delivers.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

#include "ui/pages/exec_func_select_dlg.h"

namespace qzm {

class COrgComboBox;

class CExecuteDlg : public QWidget {
    Q_OBJECT

public:
    explicit CExecuteDlg(QWidget* parent = nullptr);

    CExecFuncSelectDlg& FunctionSelect() { return *functions_; }
    // Selects the transfer image size item whose data is code (1 = 320x240, 2 = 160x120, 0 = none).
    int SelectImageSize(int code);
    // The data of the selected item: the image option of the next execution.
    int ImageSize() const;

    // Continuous execution on or off as the toggle shows it.
    bool ContinuousOn() const;
    // Both run buttons back to their idle look (after an error or a stop).
    void ResetButtons();

    // Results per second of continuous execution; a negative rate clears the line.
    void ShowRate(double perSecond);
    // The record toggle as it stands (off also clears the recording's line), whether the next
    // recording keeps frames, and the recording's line ("" clears it).
    void SetRecording(bool on);
    bool RecordWithFrames() const;
    void ShowRecording(const QString& text);

    CStateBmpButton* ExecuteOnceButton() const { return once_; }
    CStateBmpButton* ContinuousButton() const { return continuous_; }
    CStateBmpButton* SettingsButton() const { return settings_; }
    CStateBmpButton* RecordButton() const { return record_; }
    QCheckBox* FramesCheck() const { return frames_; }
    QLabel* RecordingLine() const { return recording_; }
    COrgComboBox* ImageSizeCombo() const { return imageSize_; }

signals:
    void ExecuteOnceClicked();
    // "Continuous" turned on or off.
    void ContinuousToggled(bool on);
    void SettingsClicked();
    // "Record" turned on or off.
    void RecordToggled(bool on);
    // A switch or the image size changed: what the next execution asks for.
    void ChoiceChanged();

private:
    CStateBmpButton* once_;
    CStateBmpButton* continuous_;
    CStateBmpButton* settings_;
    COrgComboBox* imageSize_;
    CExecFuncSelectDlg* functions_;
    QLabel* rate_;
    CStateBmpButton* record_;
    QCheckBox* frames_;
    QLabel* recording_;
};

}  // namespace qzm
