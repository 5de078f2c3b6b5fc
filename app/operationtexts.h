#ifndef OPERATIONTEXTS_H
#define OPERATIONTEXTS_H

#include <QMessageBox>

// What the window tells the operator about the outcome of each operation: the
// line under the form and, where the outcome needs attention, a message box.
// Every handler reads its row here instead of wording results itself.
namespace OperationTexts {

enum Operation {
    Connect,
    SetConfig,
    GetConfig,
    SendDate,
    SendReset,
    StartFromStation,
    Authenticate,
    Download,
    ReadFile,
    Upload,
    StopBurst,
    SaveFile,        // every field; a failure comes with the reasons
    SaveBasicFile,   // the Advanced tab locked: the basic fields only
    LoadFile,        // result 3: the Advanced password was not given
    CompareFile      // a failure: the file was refused
};

struct Box
{
    const char *title;   // nullptr: no box
    const char *text;
    QMessageBox::Icon icon;
};

struct Row
{
    const char *succeeded;   // the info text on success; nullptr leaves the line as it is
    const char *failed;      // the info text on every failure that is reported
    Box successBox;
    Box failureBox;          // result 1
    Box incompleteBox;       // result 3; without one, 3 shows nothing and the progress text stays
};

const Row &row(Operation operation);

// Results 2 and 4 read the same for every operation.
extern const Box kNotConnectedBox;
extern const Box kNotImplementedBox;

} // namespace OperationTexts

#endif // OPERATIONTEXTS_H
