#ifndef LINKBENCH_H
#define LINKBENCH_H

#include "dialogdriver.h"
#include "localports.h"
#include "ptystation.h"
#include "sampleconfig.h"
#include "serialcommands.h"
#include "simulatedstation.h"
#include "tcpstation.h"
#include "ui_mainwindow.h"
#include "wificommands.h"

#include <QMainWindow>

#include <memory>

// A link on the simulated station, not yet connected: serial on a pseudo-terminal or TCP on 127.0.0.1,
// set up through its settings dialog, with the form it writes into (its burst period 27 May 2019, 14 h,
// 7 days). Its waits for a first reply byte and its burst silence bound are short.
class LinkBench
{
public:
    static constexpr int kFirstReplyMs = 300;
    static constexpr int kBurstSilenceMs = 1000;
    static constexpr Exchange::Caps kReplyCaps = {4096, 600};

    explicit LinkBench(bool tcpLink)
    {
        form.setupUi(&window);
        QObject::connect(form.actionDisconnect, &QAction::triggered, &window, [this] { link->disconnectDevice(); });
        if (tcpLink) {
            QVERIFY(tcp.start());
            useTcpPort(tcp.port());
            link.reset(new WifiCommands(&form, &wifiDialog));
        } else {
            QVERIFY(pty.start());
            DialogDriver::useCustomPort(serialDialog, pty.slavePath());
            auto *serial = new SerialCommands(&form, &serialDialog);
            Exchange::Limits command = SerialCommands::kCommandLimits, reset = SerialCommands::kResetLimits;
            command.firstReplyMs = reset.firstReplyMs = kFirstReplyMs;
            serial->setLimits(command, reset);
            link.reset(serial);
        }
        link->setBurstSilenceLimit(kBurstSilenceMs);
        link->setReplyCaps(kReplyCaps);
        form.burstmodeDate->setDateTime({{2019, 5, 27}, {14, 59}});
        form.burstmodeDays->setValue(7);
    }

    void useTcpPort(quint16 port) { DialogDriver::useTcpStation(wifiDialog, "127.0.0.1", port, kFirstReplyMs); }

    SimulatedStation station;
    PtyStation pty{station};
    TcpStation tcp{station};
    QMainWindow window;
    Ui::MainWindow form;
    SettingsDialogSerial serialDialog;
    SettingsDialogWifi wifiDialog;
    std::unique_ptr<CommandsManager> link;
};

// Operations run in turn on a link while the station misbehaves once on one command: what they return,
// what the station receives and what the link's record holds afterwards.
struct LinkCase
{
    static constexpr const char *kUnreachable = "unreachable";   // as the command: the settings lead nowhere
    static constexpr const char *kBurstF = "BURSTMODEF:19052714:007";

    bool tcp;
    QString ops;          // "setConfig-PMTYPE,SERIAL" sends the sample configuration without those fields
    QByteArray command;
    StationFault fault;
    QString outcome;
    QByteArray wire = {};     // the commands, a date as "SENSDATE:*" when the form shows it and it is now
    QString config = {};

    static void add(const QByteArray &name, const LinkCase &c) { QTest::newRow(name.constData()) << c; }

    // The cases that read the same on both links: connecting, and where an answer ends.
    static void addCommonRows(bool tcp)
    {
        using F = StationFault;
        const QByteArray getConfig = tcp ? "GETCONFIG:" : "\x07 GETCONFIG:";
        add("connect", {tcp, "connect disconnect disconnect", "", F(), "1 1 0"});
        add("unreachable", {tcp, "connect disconnect reset date getConfig setConfig setConfig-PMTYPE burst burstF "
                            "stop ack", kUnreachable, F(), "0 0 2 2 2 2 2 2 noserialreceived 2 1"});
        add("pieces closer than T2 are one answer", {tcp, "getConfig", "GETCONFIG:", F::inPieces({{"APN=a|SS", 0},
            {"ID=b|VBOXI", 10}, {"P=1.2", 10}}), "0", getConfig, "APN=a|VBOXIP=1.2|SSID=b"});
        // What comes after the pause is read in front of the next answer, "OK:ST1234".
        add("a T2 pause ends the answer", {tcp, "getConfig burstF", "GETCONFIG:",
            F::inPieces({{"APN=a", 0}, {"|SSID=b", 250}}), "0 ID=bOK:ST1234", getConfig + " " + kBurstF, "APN=a"});
        add("a zero byte cuts the answer", {tcp, "getConfig", "GETCONFIG:", F::wrongText({"APN=a\0|SSID=b", 13}),
            "0", getConfig, "APN=a"});
        add("trimmed at both ends only", {tcp, "getConfig", "GETCONFIG:", F::wrongText(" \r\nAPN=a b \r\n"), "0",
            getConfig, "APN=a b"});
        add("silence", {tcp, "getConfig", "GETCONFIG:", F::silent(), "1", getConfig});
        // A station that keeps talking is given up at a cap, as if it had said nothing.
        const QByteArray capped(LinkBench::kReplyCaps.bytes + 1, 'A');
        add("a reply one byte past the size cap", {tcp, "getConfig", "GETCONFIG:", F::wrongText(capped), "1",
                                                   getConfig});
        add("a reply at the size cap", {tcp, "getConfig", "GETCONFIG:", F::wrongText("APN=" + capped.mid(5)), "0",
                                        getConfig, "APN=" + capped.mid(5)});
        QList<QPair<QByteArray, int>> endless;
        for (int piece = 0; piece < 20; ++piece)
            endless.append({"APN=a", 50});
        add("a reply past the time cap", {tcp, "getConfig", "GETCONFIG:", F::inPieces(endless), "1", getConfig});
    }

    void check() const
    {
        LinkBench bench(tcp);
        bench.station.setFault(command, fault);
        if (command == kUnreachable && tcp)
            bench.useTcpPort(closedLocalPort());
        else if (command == kUnreachable)
            DialogDriver::useCustomPort(bench.serialDialog, "/dev/marlowdesk-no-such-port");
        else if (!tcp && !ops.startsWith("connect"))   // the TCP link connects by itself
            QVERIFY(bench.link->connectDevice());
        QStringList outcomes;
        for (const QString &op : ops.split(' ')) {
            StationConfig sent = sampleConfig();
            for (const ConfigField &field : configFields()) {
                if (op.section('-', 1).split(',').contains(field.key))
                    (sent.*field.member).clear();
            }
            CommandsManager &l = *bench.link;
            outcomes << (op == "burstF" ? l.startBurstModeFFromUi() : QString::number(
                op == "connect" ? l.connectDevice() : op == "disconnect" ? l.disconnectDevice()
                : op == "reset" ? l.sendReset() : op == "date" ? l.sendDate() : op == "getConfig" ? l.getConfig()
                : op == "stop" ? l.stopBurstModeFromUi() : op == "ack" ? l.ackBurstMode()
                : op == "burst" ? l.startBurstModeFromUi() : l.setConfig(sent)));
        }
        QCOMPARE(outcomes.join(' '), outcome);
        bench.station.waitForCommands(wire.isEmpty() ? 0 : wire.count(' ') + 1, 2000);
        QDateTime shown = QDateTime::fromString(bench.form.label_18->text(), "yyyy/MM/dd:hh:mm:ss");
        shown.setTimeSpec(Qt::UTC);
        const QByteArray date = "SENSDATE:" + bench.form.label_18->text().toLatin1();
        const bool now = shown.isValid() && qAbs(shown.secsTo(QDateTime::currentDateTimeUtc())) < 3;
        QCOMPARE(bench.station.receivedCommands().join(' ').replace(date, now ? "SENSDATE:*" : date), wire);
        QCOMPARE(configText(bench.link->config), config);
        QCOMPARE(bench.form.info->text() == "Connection refused", tcp && command == kUnreachable);
    }
};
Q_DECLARE_METATYPE(LinkCase)

#endif // LINKBENCH_H
