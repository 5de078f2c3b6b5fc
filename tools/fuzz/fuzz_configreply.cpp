// Feeds arbitrary text to the reader of the station's configuration answer.
// Besides the sanitizers' checks it asserts that the reader only ever stores
// text that came from the answer, and the uplink flags only as enabled.

#include "fuzzcheck.h"
#include "stationconfig.h"
#include "stationprotocol.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

// A stored value was cut out of the answer between "=" and "=" or "|".
void checkValue(const QString &value, const QString &reply)
{
    if (value.isEmpty())
        return;
    check(reply.contains(value));
    check(!value.contains(QLatin1Char('|')) && !value.contains(QLatin1Char('=')));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromUtf8(reinterpret_cast<const char *>(data),
                                            static_cast<int>(size));
    StationConfig config;
    StationProtocol::readConfigReply(reply, config);

    for (const QString *flag : {&config.ETH, &config.COM3G, &config.COMWIFI, &config.RADIO})
        check(flag->isEmpty() || *flag == QLatin1String(flag == &config.RADIO ? "XB" : "ON"));
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
    for (const ConfigField &field : configFields())
        check(again.*field.member == config.*field.member);
    check(again.RECEIVEDSERIAL == config.RECEIVEDSERIAL);
    return 0;
}
