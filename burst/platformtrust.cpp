#include "platformtrust.h"

#include "extraauthorities.h"

#include <QSslConfiguration>

namespace PlatformTrust {

QList<QSslCertificate> extraAuthorities()
{
    return QSslCertificate::fromData(QByteArray(kExtraAuthoritiesPem), QSsl::Pem);
}

void addAuthorities(QSslConfiguration &tls, const QList<QSslCertificate> &authorities)
{
    if (authorities.isEmpty())
        return;
    QList<QSslCertificate> trusted = tls.caCertificates();
    for (const QSslCertificate &authority : QSslConfiguration::systemCaCertificates() + authorities) {
        if (!trusted.contains(authority))
            trusted << authority;
    }
    tls.setCaCertificates(trusted);
}

} // namespace PlatformTrust
