// platform-sim: a simulated web platform for people. It serves HTTPS on
// 127.0.0.1 with the certificate of the build folder's local authority,
// answers the authentication and packet requests, logs every request to
// stderr, appends the records it receives to a file, and runs until interrupted.

#include "simulatedplatform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <csignal>

namespace {

constexpr quint16 kDefaultPort = 48443;
const QString kDefaultToken = QStringLiteral("sim-token");
const QString kDefaultRecords = QStringLiteral("platform-records.txt");

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int)
{
    interrupted = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("platform-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated web platform on https://127.0.0.1:PORT/en.\n"
        "An answer rule is WHICH=ANSWER: WHICH is all, auth, final, N (packet N of a run, from 0)\n"
        "or N+ (packet N and later); ANSWER a comma-separated list of a verdict (accept, refuse,\n"
        "missing-status, status-as-string, not-json, http-error, no-answer), a framing (chunked,\n"
        "close-delimited), close-after, late:MS, pieces:BYTES:MS, cut:BYTES (cut:0 closes the\n"
        "connection before the answer), close-notify-idle:MS (after MS idle, a TLS close_notify\n"
        "alone, TCP kept open until the client writes). Example: --answer final=refuse --answer 2+=late:5000"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port on 127.0.0.1 (default %1).").arg(kDefaultPort),
                                        QStringLiteral("PORT"), QString::number(kDefaultPort));
    const QCommandLineOption tokenOption(QStringLiteral("token"),
                                         QStringLiteral("A token to accept; repeatable (default %1).")
                                             .arg(kDefaultToken),
                                         QStringLiteral("T"));
    const QCommandLineOption answerOption(QStringLiteral("answer"),
                                          QStringLiteral("An answer rule; repeatable."),
                                          QStringLiteral("RULE"));
    const QCommandLineOption recordsOption(QStringLiteral("records"),
                                           QStringLiteral("File the received records are appended to "
                                                          "(default %1).").arg(kDefaultRecords),
                                           QStringLiteral("FILE"), kDefaultRecords);
    const QCommandLineOption authorityOption(QStringLiteral("authority"),
                                             QStringLiteral("Folder with ca.pem, server.pem and "
                                                            "server.key (default: the build's)."),
                                             QStringLiteral("DIR"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Do not log the requests."));
    parser.addOptions({portOption, tokenOption, answerOption, recordsOption, authorityOption, quietOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        err << "platform-sim: --port needs a port from 0 to 65535\n";
        return 2;
    }

    SimulatedPlatform platform;
    const QStringList tokens = parser.isSet(tokenOption) ? parser.values(tokenOption)
                                                         : QStringList{kDefaultToken};
    platform.setAcceptedTokens(tokens);
    for (const QString &rule : parser.values(answerOption)) {
        if (!platform.setAnswerRule(rule)) {
            err << "platform-sim: cannot read the answer rule \"" << rule << "\" (see --help)\n";
            return 2;
        }
    }
    platform.setRecordsFile(parser.value(recordsOption));
    if (parser.isSet(authorityOption))
        platform.setAuthorityDir(parser.value(authorityOption));
    QFile log;
    if (!parser.isSet(quietOption) && log.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        platform.setLogDevice(&log);
    if (!platform.start(quint16(port))) {
        err << "platform-sim: cannot serve on 127.0.0.1:" << port << "\n";
        return 1;
    }

    out << "HTTPS: " << platform.baseUrl() << "\n";
    out << "Records: " << parser.value(recordsOption) << "\n";
    out << "Tokens accepted: " << tokens.join(QLatin1Char(' ')) << "\n";
    out << "Ctrl+C stops.\n";
    out.flush();

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&app] {
        if (interrupted)
            app.quit();
    });
    watch.start(100);
    const int status = app.exec();
    out << "platform-sim stopped\n";
    return status;
}
