#include "operationtexts.h"

#include <QtGlobal>

namespace OperationTexts {

namespace {

constexpr QMessageBox::Icon kInformation = QMessageBox::Information;
constexpr Box kNone = {nullptr, nullptr, kInformation};
constexpr Box kNotSaved = {"Configuration not saved", "The configuration was not saved:", QMessageBox::Warning};

// The info texts go through the window's translation; the boxes are literal.
const Row kRows[] = {
    // Connect
    {nullptr, nullptr, kNone,
     {"Error", "Can't connect to device", QMessageBox::Critical}, kNone},
    // SetConfig
    {QT_TRANSLATE_NOOP("MainWindow", "Configuration successfully sent"),
     QT_TRANSLATE_NOOP("MainWindow", "Error on Set Configuration"),
     {"Configuration sent", "Configuration sent", kInformation},
     {"Configuration failure", "Configuration failure, please send again configuration.",
      kInformation},
     {"No data in frame", "Configuration is not fully filled, please get configuration from "
                          "Quorvel or resend configuration!", kInformation}},
    // GetConfig
    {QT_TRANSLATE_NOOP("MainWindow", "Configuration successfully received"),
     QT_TRANSLATE_NOOP("MainWindow", "Error on Get Configuration"),
     {"Configuration is received", "Configuration successfully received.", kInformation},
     {"Configuration not received", "Configuration was not received, please check that blue "
                                    "led blinks quickly, if not reset Quorvel and click on Get "
                                    "configuration again", kInformation},
     kNone},
    // SendDate
    {QT_TRANSLATE_NOOP("MainWindow", "Date successfully sent"),
     QT_TRANSLATE_NOOP("MainWindow", "Date not sent"), kNone,
     {"Date not sent", "Error during data sending", kInformation}, kNone},
    // SendReset
    {QT_TRANSLATE_NOOP("MainWindow", "Reset success"),
     QT_TRANSLATE_NOOP("MainWindow", "Reset failure"), kNone,
     {"Reset failure", "Error during reset", kInformation}, kNone},
    // StartFromStation
    {QT_TRANSLATE_NOOP("MainWindow", "Start Burst Mode success"),
     QT_TRANSLATE_NOOP("MainWindow", "Start Burst Mode failure"), kNone,
     {"Burst Mode failure", "Error during burst mode", kInformation},
     {"Burst Mode failure", "No data available in this period", kInformation}},
    // Authenticate
    {QT_TRANSLATE_NOOP("MainWindow", "Successfully authenticated"),
     QT_TRANSLATE_NOOP("MainWindow", "Authentication failure"), kNone,
     {"Authentication failure", "Could not connect to the platform.\nMake sure you have a "
                                "valid token and access to internet.", kInformation},
     kNone},
    // Download: the upload follows a success
    {nullptr, QT_TRANSLATE_NOOP("MainWindow", "Start Burst Mode failure"),
     {"Serial Transfer finished", "Data will now be sent from MarlowDesk to the web "
                                  "platform.\nYou can disconnect your station but do not close "
                                  "MarlowDesk.", kInformation},
     {"Burst Mode failure", "Error during burst mode : Export data from Station to Marlowdesk "
                            "failed", kInformation},
     {"Burst Mode failure", "No data available in this period", kInformation}},
    // ReadFile
    {nullptr, nullptr, kNone, {"File read failure", "Can't read datalog file", kInformation},
     kNone},
    // Upload
    {QT_TRANSLATE_NOOP("MainWindow", "Burst Mode finished"),
     QT_TRANSLATE_NOOP("MainWindow", "Burst Mode failure"),
     {"Burst Mode finished", "Data successfully sent to the platform.\n You can now close "
                             "MarlowDesk.", kInformation},
     {"Burst Mode failure", "Error during burst mode : Export data from MarlowDesk to web "
                            "platform failed", kInformation},
     kNone},
    // StopBurst
    {QT_TRANSLATE_NOOP("MainWindow", "Stop Burst Mode success"),
     QT_TRANSLATE_NOOP("MainWindow", "Stop Burst Mode failure"), kNone,
     {"Burst Mode failure", "Error during burst mode", kInformation}, kNone},
    // SaveFile
    {QT_TRANSLATE_NOOP("MainWindow", "Configuration saved to file"),
     QT_TRANSLATE_NOOP("MainWindow", "Configuration not saved"), kNone, kNotSaved, kNone},
    // SaveBasicFile
    {QT_TRANSLATE_NOOP("MainWindow", "Configuration saved to file without the Advanced fields"),
     QT_TRANSLATE_NOOP("MainWindow", "Configuration not saved"),
     {"Configuration saved", "The Advanced tab is locked: the file holds the basic fields only. "
                             "Unlock the tab to save the Advanced fields as well.", kInformation},
     kNotSaved, kNone},
    // LoadFile: nothing is sent, the operator sends as always
    {QT_TRANSLATE_NOOP("MainWindow", "Configuration loaded from file, not sent yet"),
     QT_TRANSLATE_NOOP("MainWindow", "Configuration not loaded"), kNone,
     {"Configuration file refused", "The file was not loaded; the form is as it was:", QMessageBox::Warning},
     {"Configuration not loaded", "The file holds Advanced fields: without the Advanced password nothing "
                                  "was loaded.", kInformation}},
    // CompareFile: a success shows its own dialog
    {nullptr, QT_TRANSLATE_NOOP("MainWindow", "Configuration not compared"), kNone,
     {"Configuration file refused", "The file cannot be compared:", QMessageBox::Warning}, kNone},
};

static_assert(sizeof(kRows) / sizeof(kRows[0]) == CompareFile + 1, "one row per operation");

} // namespace

const Box kNotConnectedBox = {"Device not connected", "Please connect the device", kInformation};
const Box kNotImplementedBox = {"[DEV] Not implemented", "Not implemented yet", kInformation};

const Row &row(Operation operation)
{
    return kRows[operation];
}

} // namespace OperationTexts
