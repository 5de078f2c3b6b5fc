#ifndef PLATFORMTRUST_H
#define PLATFORMTRUST_H

#include <QList>
#include <QSslCertificate>

class QSslConfiguration;

// The certificate authorities that this build trusts for the web platform
// besides the system's: none, unless the build was configured with
// MARLOWDESK_EXTRA_CA_FILE (the build that talks to the simulated platform).
namespace PlatformTrust {

QList<QSslCertificate> extraAuthorities();

// Adds authorities to those tls trusts, and the system's with them, since a
// configuration that names its authorities no longer loads the system's by
// itself. Leaves tls as it is when there are none.
void addAuthorities(QSslConfiguration &tls,
                    const QList<QSslCertificate> &authorities = extraAuthorities());

} // namespace PlatformTrust

#endif // PLATFORMTRUST_H
