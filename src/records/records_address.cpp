#include "records/records_address.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace posflash {
namespace {

const QString kHidden = QStringLiteral("****");

Error addressError(const QString& text, const QString& why) {
    return Error{0, QStringLiteral("the records address %1 %2")
                        .arg(RedactedRecordsAddress(text).isEmpty()
                                 ? QStringLiteral("(empty)")
                                 : QStringLiteral("\"%1\"").arg(RedactedRecordsAddress(text)),
                             why)};
}

bool isUri(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://")) ||
           text.startsWith(QLatin1String("postgres://"));
}

// Percent-decoding that refuses a broken escape instead of passing it on as text.
std::optional<QString> decoded(const QString& part) {
    static const QRegularExpression broken(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    if (part.contains(broken))
        return std::nullopt;
    return QUrl::fromPercentEncoding(part.toUtf8());
}

// One parameter of either form into the address; an error text when it is not one we pass on.
QString setParameter(RecordsAddress& address, const QString& key, const QString& value) {
    if (key == QLatin1String("host")) {
        address.host = value;
    } else if (key == QLatin1String("port")) {
        bool ok = false;
        address.port = value.toInt(&ok);
        if (!ok || address.port < 1 || address.port > 65535)
            return QStringLiteral("has a port that is no number from 1 to 65535");
    } else if (key == QLatin1String("user")) {
        address.user = value;
    } else if (key == QLatin1String("dbname")) {
        address.database = value;
    } else if (key == QLatin1String("password")) {
        address.password = value;
    } else if (key == QLatin1String("sslmode")) {
        static const QStringList modes{"disable", "allow",     "prefer",
                                       "require", "verify-ca", "verify-full"};
        if (!modes.contains(value))
            return QStringLiteral("has sslmode=%1; it is one of %2").arg(value, modes.join(", "));
        address.sslmode = value;
    } else if (key == QLatin1String("connect_timeout")) {
        bool ok = false;
        address.connectTimeoutS = value.toInt(&ok);
        // libpq reads 0 as "for ever" and 1 as 2.
        if (!ok || address.connectTimeoutS < 1 || address.connectTimeoutS > 600)
            return QStringLiteral("has a connect_timeout that is no number of seconds from 1 to "
                                  "600");
    } else if (key == QLatin1String("service")) {
        address.service = value;
    } else {
        return QStringLiteral("has the parameter %1, which posflash does not pass on (it takes "
                              "host, port, user, password, dbname, sslmode, connect_timeout and "
                              "service)")
            .arg(key);
    }
    // The driver joins the options with spaces into libpq's key=value text: nothing in a value
    // may end it or start another.
    static const QRegularExpression unsafe(QStringLiteral("[\\s;'\\\\=]"));
    if (key == QLatin1String("service") && value.contains(unsafe))
        return QStringLiteral("has a %1 with a space, quote, backslash, = or ;").arg(key);
    return {};
}

Result<RecordsAddress> parseUri(const QString& text) {
    RecordsAddress address;
    QString rest = text.mid(text.indexOf(QLatin1String("://")) + 3);
    const qsizetype queryAt = rest.indexOf(QLatin1Char('?'));
    const QString query = queryAt < 0 ? QString() : rest.mid(queryAt + 1);
    rest = rest.left(queryAt < 0 ? rest.size() : queryAt);
    const qsizetype pathAt = rest.indexOf(QLatin1Char('/'));
    const QString path = pathAt < 0 ? QString() : rest.mid(pathAt + 1);
    QString authority = rest.left(pathAt < 0 ? rest.size() : pathAt);
    // The password may hold an '@' of its own (percent-encoded or not): the last one ends it.
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        const auto user = decoded(userInfo.left(colon < 0 ? userInfo.size() : colon));
        const auto password = decoded(colon < 0 ? QString() : userInfo.mid(colon + 1));
        if (!user || !password)
            return addressError(text, QStringLiteral("has a broken %-escape"));
        address.user = *user;
        address.password = *password;
    }
    if (authority.contains(QLatin1Char(',')))
        return addressError(text, QStringLiteral("names several hosts; posflash takes one"));
    QString host = authority;
    QString port;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return addressError(text, QStringLiteral("has an IPv6 address without its ]"));
        port = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(QLatin1Char(':')))
            return addressError(text, QStringLiteral("has text after the IPv6 address"));
        port = port.mid(1);
    } else if (const qsizetype colon = host.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    const auto hostText = decoded(host); // %2F: a socket folder
    const auto database = decoded(path);
    if (!hostText || !database)
        return addressError(text, QStringLiteral("has a broken %-escape"));
    for (const auto& [key, value] : {std::pair{QStringLiteral("host"), *hostText},
                                     std::pair{QStringLiteral("dbname"), *database}})
        if (!value.isEmpty())
            if (const QString why = setParameter(address, key, value); !why.isEmpty())
                return addressError(text, why);
    if (!port.isEmpty())
        if (const QString why = setParameter(address, QStringLiteral("port"), port); !why.isEmpty())
            return addressError(text, why);
    for (const QString& pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        const auto key = decoded(pair.left(equals));
        const auto value = decoded(equals < 0 ? QString() : pair.mid(equals + 1));
        if (equals < 0 || !key || !value)
            return addressError(text, QStringLiteral("has a parameter that is no key=value"));
        if (const QString why = setParameter(address, *key, *value); !why.isEmpty())
            return addressError(text, why);
    }
    return address;
}

// libpq's key=value form: pairs apart by spaces, a value in single quotes may hold spaces,
// \' and \\.
Result<RecordsAddress> parsePairs(const QString& text) {
    RecordsAddress address;
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < text.size() && text[i].isSpace())
            ++i;
    };
    for (skipSpaces(); i < text.size(); skipSpaces()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0)
            return addressError(text, QStringLiteral("has a part that is no key=value"));
        const QString key = text.mid(i, equals - i).trimmed();
        i = equals + 1;
        skipSpaces();
        QString value;
        if (i < text.size() && text[i] == QLatin1Char('\'')) {
            for (++i; i < text.size() && text[i] != QLatin1Char('\''); ++i) {
                if (text[i] == QLatin1Char('\\') && i + 1 < text.size())
                    ++i;
                value += text[i];
            }
            if (i >= text.size())
                return addressError(text, QStringLiteral("has a quote that is not closed"));
            ++i;
        } else {
            while (i < text.size() && !text[i].isSpace())
                value += text[i++];
        }
        if (const QString why = setParameter(address, key, value); !why.isEmpty())
            return addressError(text, why);
    }
    return address;
}

} // namespace

QString RecordsAddress::shown() const {
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += QString::fromUtf8(QUrl::toPercentEncoding(user)) +
                (password.isEmpty() ? QString() : QLatin1Char(':') + kHidden) + QLatin1Char('@');
    text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                            : QString::fromUtf8(QUrl::toPercentEncoding(host));
    if (port > 0)
        text += QLatin1Char(':') + QString::number(port);
    text += QLatin1Char('/') + QString::fromUtf8(QUrl::toPercentEncoding(database));
    if (!service.isEmpty())
        text += QStringLiteral("?service=") + service;
    return text;
}

Result<RecordsAddress> ParseRecordsAddress(const QString& given) {
    const QString text = given.trimmed();
    if (text.isEmpty())
        return addressError(text, QStringLiteral("is empty"));
    if (isUri(text))
        return parseUri(text);
    if (text.contains(QLatin1Char('=')))
        return parsePairs(text);
    static const QRegularExpression serviceName(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (!serviceName.match(text).hasMatch())
        return addressError(text, QStringLiteral("is no postgresql:// URI, key=value pairs or "
                                                 "service name"));
    RecordsAddress address;
    address.service = text;
    return address;
}

QString RedactedRecordsAddress(const QString& text) {
    QString shown = text;
    if (isUri(shown)) {
        // user:password@ before the first '/' after the scheme; the last '@' ends it.
        const qsizetype start = shown.indexOf(QLatin1String("://")) + 3;
        qsizetype end = shown.indexOf(QLatin1Char('/'), start);
        if (const qsizetype q = shown.indexOf(QLatin1Char('?'), start);
            q >= 0 && (end < 0 || q < end))
            end = q;
        const QString authority = shown.mid(start, end < 0 ? -1 : end - start);
        const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
        const qsizetype colon = authority.indexOf(QLatin1Char(':'));
        if (at >= 0 && colon >= 0 && colon < at)
            shown.replace(start + colon + 1, at - colon - 1, kHidden);
    }
    // password=… as a URI parameter (up to '&') or a pair (a quoted value, or up to a space).
    static const QRegularExpression parameter(
        QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|[^&\\s]*)"),
        QRegularExpression::CaseInsensitiveOption);
    shown.replace(parameter, QStringLiteral("\\1") + kHidden);
    return shown;
}

} // namespace posflash
