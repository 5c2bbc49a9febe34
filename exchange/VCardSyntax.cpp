#include "exchange/VCardSyntax.h"

#include <QHash>

namespace exchange::vcard {

namespace {

// Splits at `sep` outside double quotes.
QList<QByteArray> splitOutsideQuotes(const QByteArray& s, char sep)
{
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == sep && !quoted) {
            parts << s.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << s.mid(start);
    return parts;
}

// RFC 6868 escapes in parameter values: ^n newline, ^' quote, ^^ caret.
QByteArray decodeCaret(const QByteArray& v)
{
    if (!v.contains('^'))
        return v;
    QByteArray out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '^' && i + 1 < v.size()) {
            const char n = v[i + 1];
            if (n == 'n' || n == 'N') {
                out += '\n';
                ++i;
                continue;
            }
            if (n == '\'') {
                out += '"';
                ++i;
                continue;
            }
            if (n == '^') {
                out += '^';
                ++i;
                continue;
            }
        }
        out += v[i];
    }
    return out;
}

QByteArray unquote(QByteArray v)
{
    v = v.trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
        v = v.mid(1, v.size() - 2);
    return decodeCaret(v);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray paramSection(const QByteArray& line)
{
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    return (colon < 0 ? line : line.left(colon)).toUpper();
}

} // namespace

Kind kindOf(const QByteArray& name)
{
    static const QHash<QByteArray, Kind> kinds{
        {"BEGIN", Kind::Frame},
        {"END", Kind::Frame},
        {"VERSION", Kind::Version},
        {"PRODID", Kind::Frame},
        {"N", Kind::N},
        {"FN", Kind::FN},
        {"ADR", Kind::ADR},
        {"TEL", Kind::TEL},
        {"EMAIL", Kind::EMAIL},
        {"BDAY", Kind::BDAY},
        {"NOTE", Kind::NOTE},
        {"ORG", Kind::ORG},
        {"CATEGORIES", Kind::CATEGORIES},
        {"URL", Kind::URL},
        {"NICKNAME", Kind::NICKNAME},
        {"TITLE", Kind::TITLE},
        {"ROLE", Kind::ROLE},
        {"ANNIVERSARY", Kind::ANNIVERSARY},
        {"X-ANNIVERSARY", Kind::ANNIVERSARY},
        {"X-MS-ANNIVERSARY", Kind::ANNIVERSARY},
        {"X-EVOLUTION-ANNIVERSARY", Kind::ANNIVERSARY},
        {"IMPP", Kind::IM},
        {"RELATED", Kind::Related},
        {"X-ABRELATEDNAMES", Kind::Related},
        {"X-ABDATE", Kind::OtherDate},
        {"PHOTO", Kind::Binary},
        {"LOGO", Kind::Binary},
        {"SOUND", Kind::Binary},
        {"KEY", Kind::Binary},
        {"X-ABLABEL", Kind::Label},
        {"LABEL", Kind::PostalLabel},
        {"X-ANDROID-CUSTOM", Kind::Vendor},
        {"X-SOCIALPROFILE", Kind::Vendor},
        {"X-MS-IMADDRESS", Kind::IM},
    };
    const auto it = kinds.constFind(name);
    if (it != kinds.constEnd())
        return *it;
    if (name.startsWith("X-KADDRESSBOOK-"))
        return Kind::Vendor;
    return imService(name).isEmpty() ? Kind::Other : Kind::IM;
}

QString imService(const QByteArray& name)
{
    static const QHash<QByteArray, const char*> services{
        {"X-AIM", "AIM"},
        {"X-ICQ", "ICQ"},
        {"X-JABBER", "Jabber"},
        {"X-MSN", "MSN"},
        {"X-YAHOO", "Yahoo"},
        {"X-SKYPE", "Skype"},
        {"X-SKYPE-USERNAME", "Skype"},
        {"X-GOOGLE-TALK", "Google Talk"},
        {"X-GTALK", "Google Talk"},
        {"X-QQ", "QQ"},
        {"X-GADUGADU", "Gadu-Gadu"},
        {"X-GROUPWISE", "GroupWise"},
        {"X-TWITTER", "Twitter"},
        {"X-GOOGLE TALK", "Google Talk"},
        {"X-SAMETIME", "Sametime"},
    };
    const char* service = services.value(name, nullptr);
    return service ? QString::fromLatin1(service) : QString();
}

bool Property::hasType(const char* type) const
{
    const QByteArrayView wanted(type);
    for (const QByteArray& t : types) {
        if (QByteArrayView(t) == wanted)
            return true;
    }
    return false;
}

bool declaresQuotedPrintable(const QByteArray& line)
{
    return paramSection(line).contains("QUOTED-PRINTABLE");
}

bool declaresBase64(const QByteArray& line)
{
    const QByteArray params = paramSection(line);
    return params.contains("ENCODING=B") || params.contains(";BASE64");
}

bool parseProperty(const QByteArray& line, Property& out)
{
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon < 0)
        return false;
    out = Property{};
    out.value = line.mid(colon + 1);
    const QByteArrayView head = QByteArrayView(line).first(colon);
    const qsizetype semicolon = head.indexOf(';');
    const QByteArrayView fullName = (semicolon < 0 ? head : head.first(semicolon)).trimmed();
    const qsizetype dot = fullName.lastIndexOf('.');
    if (dot >= 0)
        out.group = fullName.first(dot).toByteArray();
    out.name = fullName.sliced(dot + 1).toByteArray().toUpper();
    out.kind = kindOf(out.name);
    if (out.name.isEmpty())
        return false;
    if (semicolon < 0)
        return true;
    const QList<QByteArray> parts = splitOutsideQuotes(head.toByteArray(), ';');

    for (qsizetype p = 1; p < parts.size(); ++p) {
        const QByteArray& param = parts[p];
        const qsizetype eq = param.indexOf('=');
        const QByteArray key = (eq < 0 ? param : param.left(eq)).trimmed().toUpper();
        const QByteArray value = eq < 0 ? QByteArray() : param.mid(eq + 1);
        if (eq < 0) {
            // vCard 2.1 names a type or an encoding without the parameter name.
            if (key == "QUOTED-PRINTABLE" || key == "BASE64" || key == "8BIT" || key == "7BIT")
                out.encoding = key;
            else if (key == "PREF")
                out.pref = true;
            else if (!key.isEmpty())
                out.types << key.toLower();
        } else if (key == "TYPE") {
            for (const QByteArray& t : splitOutsideQuotes(unquote(value), ',')) {
                const QByteArray type = unquote(t).toLower();
                if (type == "pref")
                    out.pref = true;
                else if (!type.isEmpty())
                    out.types << type;
            }
        } else if (key == "ENCODING") {
            out.encoding = unquote(value).toUpper();
        } else if (key == "CHARSET") {
            out.charset = unquote(value);
        } else if (key == "VALUE") {
            out.valueType = unquote(value).toLower();
        } else if (key == "PREF") {
            out.pref = true;
        } else if (key == "X-SERVICE-TYPE") {
            out.serviceType = unquote(value);
        }
    }
    return true;
}

bool couldBeProperty(const QByteArray& line)
{
    qsizetype i = 0;
    bool dotSeen = false;
    while (i < line.size()) {
        const char c = line[i];
        const bool nameChar = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                              c == '_';
        if (nameChar) {
            ++i;
        } else if (c == '.' && i > 0 && !dotSeen && line[i - 1] != '.') {
            dotSeen = true;
            ++i;
        } else {
            break;
        }
    }
    if (i == 0 || i >= line.size() || line[i - 1] == '.')
        return false;
    if (line[i] == ';')
        return line.indexOf(':', i) > i;
    return line[i] == ':';
}

QByteArray decodeQuotedPrintable(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '=' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        if (c == '=' && i == text.size() - 1)
            continue; // a soft line break left at the very end
        out += c;
    }
    return out;
}

QStringList splitEscaped(const QString& text, QChar separator)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\'))
            ++i; // the escaped character is never a separator
        else if (c == separator) {
            parts << text.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

QString unescape(const QString& text, Version version)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar n = text[i + 1];
        if (version == Version::V21) {
            if (n == QLatin1Char(';')) {
                out += n;
                ++i;
            } else {
                out += c;
            }
            continue;
        }
        if (n == QLatin1Char('n') || n == QLatin1Char('N')) {
            out += QLatin1Char('\n');
            ++i;
        } else if (n == QLatin1Char('\\') || n == QLatin1Char(',') || n == QLatin1Char(';') || n == QLatin1Char(':')) {
            out += n;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace exchange::vcard
