#ifndef DIALOGDRIVER_H
#define DIALOGDRIVER_H

#include <QString>

class SettingsDialogSerial;
class SettingsDialogWifi;

// Fills the two settings dialogs the way an operator does, so that a link
// built on them reaches the simulated station. Each applies the settings and
// checks that the dialog closed with them in its record.
namespace DialogDriver {

// Picks "Custom" in the port list, types the device path and presses Apply.
void useCustomPort(SettingsDialogSerial &dialog, const QString &path);
// Types the address, sets the port and the reply time limit and presses Apply.
void useTcpStation(SettingsDialogWifi &dialog, const QString &ip, quint16 port, int timeoutMs);

} // namespace DialogDriver

#endif // DIALOGDRIVER_H
