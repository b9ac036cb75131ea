// The "Device" page of the settings dialog. In the start-up form the user chooses the serial port
// and baud rate to connect with; in both forms the camera mounting angle and whether the program
// connects by itself at the next start. While the start-up dialog is up its port list follows
// adapters being plugged in and out. Choosing the entry for a recorded module asks for the
// recording; the entry then shows, and the page gives as the port, the prefix and its path.
//
// Accessible names: "Port", "Baud rate" and "Camera angle" for the combos (their labels' captions),
// "Connect on startup" for the check box.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QWidget>
#include <string>
#include <vector>

#include "ui/controls/org_combo_box.h"
#include "ui/dialogs/setting_values.h"

namespace qzm {

class CConnectSettingDlg : public QWidget {
    Q_OBJECT

public:
    explicit CConnectSettingDlg(SettingForm form, QWidget* parent = nullptr);

    SettingForm Form() const { return form_; }

    // Offers portList and selects the stored port (see SelectPort), the baud rate and camera angle
    // items with those values (none when no item has it) and the check box.
    void SetValues(const std::vector<std::string>& portList, const SettingValues& values);
    // Writes what the page edits into values: port name and baud rate in the start-up form only,
    // camera angle and connect-on-start-up in both. Nothing selected reads as the program's
    // defaults: no port, 921600 baud, camera angle 0.
    void GetValues(SettingValues& values) const;

    // Replaces the offered ports unless the list is the same, keeping the chosen port where it is
    // still offered and reopening an open drop-down so that it shows the new names. Window thread
    // only.
    void UpdatePortList(const std::vector<std::string>& portList);
    const std::vector<std::string>& PortList() const { return portList_; }

    COrgComboBox& PortCombo() const { return *port_; }
    COrgComboBox& BaudCombo() const { return *baud_; }
    COrgComboBox& AngleCombo() const { return *angle_; }
    QCheckBox& ConnectOnStartup() const { return *autoConnect_; }

private:
    void FillPorts(const std::vector<std::string>& portList);
    // Asks for the recording to replay when the user picks its entry; back to the port chosen
    // before when the user cancels.
    void OnPortActivated(int index);
    // The port name of the item at index: the listed name, or the chosen recording's.
    std::string PortNameAt(int index) const;
    // The first port whose name begins with name, ignoring case; else the first port.
    void SelectPort(const QString& name);

    SettingForm form_;
    std::vector<std::string> portList_;  // item data of each port item is its index here
    QString replayPortName_;             // the recording chosen to replay, as a port name; "" for none
    int chosenPort_ = -1;                // the port item chosen before the recording entry was picked
    COrgComboBox* port_;
    COrgComboBox* baud_;
    COrgComboBox* angle_;
    QCheckBox* autoConnect_;
};

}  // namespace qzm
