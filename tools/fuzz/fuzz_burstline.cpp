// Feeds arbitrary lines to the burst line decoder and checks the shape of
// every record it makes: nothing, the end record, or a data record.

#include "burstrecord.h"
#include "fuzzcheck.h"

#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// The decoder reports undecodable lines on the debug output; millions of them
// would only slow the run down.
static void dropMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(dropMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data),
                                           static_cast<int>(size));
    const QString record = BurstRecord::decode(line);

    if (line.contains(QLatin1String("END"))) {
        check(record == QLatin1String("END\r\n"));
        return 0;
    }
    if (record.isEmpty())
        return 0;
    check(record.endsWith(QLatin1String("\r\n")));
    check(record.contains(QLatin1String("__")));
    check(line.contains(QLatin1String("Response")) && line.contains(QLatin1String("Date")));
    // A data record is never longer than its line plus the separator and line end.
    check(record.size() <= line.size() + 4);
    return 0;
}
