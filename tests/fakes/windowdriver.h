#ifndef WINDOWDRIVER_H
#define WINDOWDRIVER_H

#include <QAction>
#include <QApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

// Drives the main window the way an operator does: through its object names,
// its actions and its settings dialogs.
namespace WindowDriver {

template <typename T>
T *child(const QObject &parent, const char *name)
{
    T *object = parent.findChild<T *>(QLatin1String(name));
    if (!object)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return object;
}

inline QAction *action(const QObject &window, const char *name)
{
    return child<QAction>(window, name);
}

template <typename Dialog>
Dialog *visibleDialog()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto *dialog = qobject_cast<Dialog *>(widget);
        if (dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

QString labelText(const QObject &window, const char *name);
// The line under the form where the window reports its last operation.
inline QString info(const QObject &window)
{
    return labelText(window, "info");
}

// The seven controls that only a successful configuration read unlocks.
QStringList operationControls();
// Those of them that are enabled now, in the same order.
QStringList enabledControls(const QObject &window);

// Applies a typed "Custom" port in the serial settings dialog (the window is in serial mode).
void useSerialPort(QObject &window, const QString &path);
// Switches a serial-mode window to TCP and applies 127.0.0.1, the port and the time limit.
void useTcp(QObject &window, quint16 port, int timeoutMs);

} // namespace WindowDriver

#endif // WINDOWDRIVER_H
