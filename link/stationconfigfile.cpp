#include "stationconfigfile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <cmath>

const QString StationConfigFile::kFormat = QStringLiteral("marlowdesk-station-config");

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kVersionKey = QStringLiteral("version");
const QString kSavedKey = QStringLiteral("saved");
const QString kStationKey = QStringLiteral("station");
const QString kFieldsKey = QStringLiteral("fields");
const QString kOff = QStringLiteral("OFF");

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "ETH, RADIO, COMWIFI, COM3G (Ethernet, Radio, Wifi, 3G)": the keys in the combo box's order.
QString uplinkKeys()
{
    QStringList keys, items;
    for (const Uplink &uplink : uplinks()) {
        keys << QLatin1String(configField(uplink.member)->key);
        items << QLatin1String(uplink.item);
    }
    return keys.join(QStringLiteral(", ")) + QStringLiteral(" (") + items.join(QStringLiteral(", "))
           + QLatin1Char(')');
}

// What keeps the form from showing value in field, or nothing.
QString valueProblem(const ConfigField &field, const QString &value)
{
    const QString where = QStringLiteral("Field ") + quoted(QLatin1String(field.key)) + QStringLiteral(": ");
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control)
            return where + QStringLiteral("holds a control character");
    }
    if (field.kind == ConfigField::Port && !isPortText(value)) {
        return where + quoted(value) + QStringLiteral(" is not a port number from %1 to %2")
                                           .arg(kPortMinimum).arg(kPortMaximum);
    }
    if (field.kind == ConfigField::Security && securityIndex(value) < 0) {
        QStringList choices;
        for (int index = 0; index < securityTexts().size(); ++index)
            choices << quoted(QString::number(index)) + QLatin1Char(' ') + securityTexts().at(index);
        return where + quoted(value) + QStringLiteral(" is none of the security choices: ")
               + choices.join(QStringLiteral(", "));
    }
    if (field.kind == ConfigField::Uplink) {
        const QString on = QLatin1String(uplinkOf(field.member)->onValue);
        if (value != on && value != kOff)
            return where + quoted(value) + QStringLiteral(" is neither ") + quoted(on)
                   + QStringLiteral(" nor ") + quoted(kOff);
    }
    return QString();
}

// The form shows one uplink: the four switches come together, exactly one of them on.
void checkUplinks(const QJsonObject &fields, QStringList &problems)
{
    QStringList missing, on;
    bool valid = true;
    for (const Uplink &uplink : uplinks()) {
        const QLatin1String key(configField(uplink.member)->key);
        const QJsonValue value = fields.value(key);
        if (value.isUndefined())
            missing << key;
        else if (value.toString() == QLatin1String(uplink.onValue))
            on << key;
        else if (value.toString() != kOff)
            valid = false;
    }
    if (missing.size() == uplinks().size())
        return;
    if (!missing.isEmpty()) {
        problems << QStringLiteral("The uplink fields %1 come together; missing: %2")
                        .arg(uplinkKeys(), missing.join(QStringLiteral(", ")));
    } else if (valid && on.isEmpty()) {
        problems << QStringLiteral("No uplink is on: one of %1 must be").arg(uplinkKeys());
    } else if (on.size() > 1) {
        problems << QStringLiteral("More than one uplink is on (%1): the form shows one")
                        .arg(on.join(QStringLiteral(", ")));
    }
}

// A date and time in ISO 8601 with its offset from UTC, as the files are written.
bool isTimeText(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(\\.\\d+)?(Z|[+-]\\d\\d:\\d\\d)$"));
    return form.match(text).hasMatch() && QDateTime::fromString(text, Qt::ISODate).isValid();
}

void checkHeader(const QJsonObject &root, QStringList &problems)
{
    const QJsonValue format = root.value(kFormatKey);
    if (format.isUndefined()) {
        problems << QStringLiteral("\"format\" is missing: this is not a MarlowDesk station configuration");
    } else if (format.toString() != StationConfigFile::kFormat) {
        problems << QStringLiteral("\"format\" is not ") + quoted(StationConfigFile::kFormat)
                        + QStringLiteral(": this is not a MarlowDesk station configuration");
    }

    const QJsonValue version = root.value(kVersionKey);
    const double number = version.toDouble();
    if (version.isUndefined()) {
        problems << QStringLiteral("\"version\" is missing");
    } else if (!version.isDouble() || number < 1 || std::floor(number) != number) {
        problems << QStringLiteral("\"version\" must be a whole number from 1");
    } else if (number > StationConfigFile::kVersion) {
        // Compared as a double: any number a file holds, however large, is refused by name.
        problems << QStringLiteral("Version %1 is newer than this MarlowDesk reads (up to version %2): "
                                   "open the file with a later MarlowDesk")
                        .arg(number).arg(StationConfigFile::kVersion);
    }

    const QJsonValue saved = root.value(kSavedKey);
    if (!saved.isUndefined() && !isTimeText(saved.toString()))
        problems << QStringLiteral("\"saved\" must be a date and time such as \"2026-12-07T10:15:00Z\"");
    const QJsonValue station = root.value(kStationKey);
    if (!station.isUndefined() && !station.isString())
        problems << QStringLiteral("\"station\" must be a text in quotes");

    for (const QString &key : root.keys()) {
        if (key != kFormatKey && key != kVersionKey && key != kSavedKey && key != kStationKey
            && key != kFieldsKey)
            problems << QStringLiteral("Unknown key ") + quoted(key);
    }
}

} // namespace

StationConfigFile StationConfigFile::fromConfig(const StationConfig &config, Fields fields,
                                                const QString &station)
{
    StationConfigFile file;
    file.stationSerial = station;
    file.savedAt = QDateTime::currentDateTimeUtc();
    StationConfig shown = config;
    const int uplink = chosenUplink(config);
    chooseUplink(shown, uplink);
    for (const ConfigField &field : configFields()) {
        if (fields == BasicFields && field.advanced)
            continue;
        if (field.kind == ConfigField::Uplink && uplink < 0)
            continue;
        if (field.kind == ConfigField::Security && securityIndex(config.WIFICRYPT) < 0)
            continue;
        file.add(field, shown.*field.member);
    }
    return file;
}

StationConfigFile StationConfigFile::fromStationRead(const StationConfig &read)
{
    StationConfig shown = read;
    if (!read.RECEIVEDSERIAL.isEmpty())
        shown.SERIAL = read.RECEIVEDSERIAL;
    return fromConfig(shown, AllFields, read.RECEIVEDSERIAL);
}

StationConfigFile StationConfigFile::fromJson(const QByteArray &json, QStringList &problems)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        problems << QStringLiteral("Not a JSON document: %1 at character %2")
                        .arg(error.errorString()).arg(error.offset);
        return {};
    }
    if (!document.isObject()) {
        problems << QStringLiteral("The file holds no JSON object");
        return {};
    }
    const int before = problems.size();
    const QJsonObject root = document.object();
    checkHeader(root, problems);

    StationConfigFile file;
    file.stationSerial = root.value(kStationKey).toString();
    file.savedAt = QDateTime::fromString(root.value(kSavedKey).toString(), Qt::ISODate);
    const QJsonValue fieldsValue = root.value(kFieldsKey);
    const QJsonObject fields = fieldsValue.toObject();
    if (!fieldsValue.isObject())
        problems << QStringLiteral("\"fields\" must be a JSON object of configuration fields");
    else if (fields.isEmpty())
        problems << QStringLiteral("\"fields\" holds no configuration field");
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const ConfigField *field = configField(it.key());
        if (!field)
            problems << QStringLiteral("Unknown field ") + quoted(it.key());
        else if (!it.value().isString())
            problems << QStringLiteral("Field ") + quoted(it.key()) + QStringLiteral(": must be a text in quotes");
        else if (const QString problem = valueProblem(*field, it.value().toString()); !problem.isEmpty())
            problems << problem;
    }
    checkUplinks(fields, problems);
    if (problems.size() > before)
        return {};

    for (const ConfigField &field : configFields()) {
        const QJsonValue value = fields.value(QLatin1String(field.key));
        if (!value.isUndefined())
            file.add(field, value.toString());
    }
    return file;
}

StationConfigFile StationConfigFile::load(const QString &path, QStringList &problems)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problems << QStringLiteral("Can't open the file: ") + file.errorString();
        return {};
    }
    // One byte over the cap is enough to know the file is too large.
    const QByteArray json = file.read(kMaxBytes + 1);
    if (json.size() > kMaxBytes) {
        problems << QStringLiteral("The file is larger than %1 KiB: not a station configuration")
                        .arg(kMaxBytes / 1024);
        return {};
    }
    return fromJson(json, problems);
}

QByteArray StationConfigFile::toJson() const
{
    QJsonObject fields;
    for (const QString &key : fieldKeys)
        fields.insert(key, values.*configField(key)->member);
    QJsonObject root;
    root.insert(kFormatKey, kFormat);
    root.insert(kVersionKey, kVersion);
    root.insert(kSavedKey, savedAt.toUTC().toString(Qt::ISODate));
    if (!stationSerial.isEmpty())
        root.insert(kStationKey, stationSerial);
    root.insert(kFieldsKey, fields);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool StationConfigFile::save(const QString &path, QString *error) const
{
    // The old file stays until the new one is complete on disk.
    QSaveFile file(path);
    const QByteArray json = toJson();
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(json) == json.size() && file.commit();
    if (!saved && error)
        *error = file.errorString();
    return saved;
}

QStringList StationConfigFile::problems() const
{
    QStringList found;
    fromJson(toJson(), found);
    return found;
}

bool StationConfigFile::holdsAdvanced() const
{
    for (const QString &key : fieldKeys) {
        if (configField(key)->advanced)
            return true;
    }
    return false;
}

void StationConfigFile::applyTo(StationConfig &config) const
{
    for (const QString &key : fieldKeys) {
        const auto member = configField(key)->member;
        config.*member = values.*member;
    }
}

void StationConfigFile::add(const ConfigField &field, const QString &value)
{
    values.*field.member = value;
    fieldKeys << QLatin1String(field.key);
}
