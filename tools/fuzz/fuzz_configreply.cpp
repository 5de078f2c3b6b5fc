// Feeds arbitrary text to the reader of the station's configuration answer.
// Besides the sanitizers' checks it asserts that the reader only ever stores
// text that came from the answer, and the uplink flags only as enabled.

#include "stationconfig.h"
#include "stationprotocol.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

// A stored value was cut out of the answer between "=" and "=" or "|".
void checkValue(const QString &value, const QString &reply)
{
    if (value.isEmpty())
        return;
    check(reply.contains(value));
    check(!value.contains(QLatin1Char('|')) && !value.contains(QLatin1Char('=')));
}

void checkFlag(const QString &value, const char *enabled)
{
    check(value.isEmpty() || value == QLatin1String(enabled));
}

bool same(const StationConfig &a, const StationConfig &b)
{
    return a.ETH == b.ETH && a.COMWIFI == b.COMWIFI && a.COM3G == b.COM3G && a.RADIO == b.RADIO
        && a.APN == b.APN && a.LOGIN == b.LOGIN && a.PWD == b.PWD && a.SSID == b.SSID
        && a.WIFIPWD == b.WIFIPWD && a.SERIAL == b.SERIAL
        && a.BOXRADIOSERIAL == b.BOXRADIOSERIAL && a.VBOXIP == b.VBOXIP
        && a.VBOXPORT == b.VBOXPORT && a.WIFICRYPT == b.WIFICRYPT
        && a.FRAMECRYPT == b.FRAMECRYPT && a.PMTYPE == b.PMTYPE
        && a.RECEIVEDSERIAL == b.RECEIVEDSERIAL;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromUtf8(reinterpret_cast<const char *>(data),
                                            static_cast<int>(size));
    StationConfig config;
    StationProtocol::readConfigReply(reply, config);

    checkFlag(config.ETH, "ON");
    checkFlag(config.COM3G, "ON");
    checkFlag(config.COMWIFI, "ON");
    checkFlag(config.RADIO, "XB");
    for (const QString *value : {&config.APN, &config.LOGIN, &config.PWD, &config.SSID,
                                 &config.WIFIPWD, &config.BOXRADIOSERIAL, &config.VBOXIP,
                                 &config.VBOXPORT, &config.WIFICRYPT, &config.FRAMECRYPT,
                                 &config.PMTYPE, &config.RECEIVEDSERIAL})
        checkValue(*value, reply);
    // The station serial is only ever set by the operator, never by an answer.
    check(config.SERIAL.isEmpty());

    // Reading the same answer again changes nothing.
    StationConfig again = config;
    StationProtocol::readConfigReply(reply, again);
    check(same(config, again));
    return 0;
}
