#include "reports/ReportFile.h"

#include "platform/AppError.h"
#include "platform/OutputFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtEndian>

namespace reports {

namespace {

constexpr char kMagic[] = "TOVRELRP";
constexpr int kMagicSize = 8;
constexpr int kHeaderSize = kMagicSize + 4 + 8;
constexpr int kHashSize = 32;
constexpr qint64 kMaxFileSize = qint64(1) << 30;
constexpr quint32 kMaxPayloadSize = 1u << 30;
constexpr double kMaxLength = 100000.0; // mm: far beyond any paper

enum Tag : quint8 { TagText = 1, TagLine = 2, TagRect = 3, TagRichText = 4, TagRichTextPart = 5 };

class Damaged
{
};

void writeRect(QDataStream& out, const QRectF& r)
{
    out << r.x() << r.y() << r.width() << r.height();
}

void writeColor(QDataStream& out, const QColor& c)
{
    out << quint32(c.rgba());
}

struct Writer
{
    QDataStream& out;
    void operator()(const TextItem& t) const
    {
        out << quint8(TagText) << t.text << qint32(t.font);
        writeRect(out, t.box);
        out << quint8(t.alignment);
    }
    void operator()(const LineItem& l) const
    {
        out << quint8(TagLine) << l.from.x() << l.from.y() << l.to.x() << l.to.y() << l.width;
        writeColor(out, l.color);
    }
    void operator()(const RectItem& r) const
    {
        out << quint8(TagRect);
        writeRect(out, r.rect);
        writeColor(out, r.fill);
        out << r.penWidth;
        writeColor(out, r.penColor);
    }
    void operator()(const RichTextItem& r) const
    {
        // A part further down a document (a page of a long one) says where it starts.
        out << quint8(r.offset != 0 ? TagRichTextPart : TagRichText);
        writeRect(out, r.rect);
        out << r.visibleHeight << qint32(r.content);
        if (r.offset != 0)
            out << r.offset;
    }
};

// Reads the payload, treating anything unexpected as damage.
class Reader
{
public:
    explicit Reader(const QByteArray& data) : m_in(data), m_size(data.size()) { m_in.setVersion(QDataStream::Qt_6_0); }

    template <class T> T read()
    {
        T value{};
        m_in >> value;
        check();
        return value;
    }

    double length(bool mayBeNegative = true)
    {
        const double v = read<double>();
        if (!std::isfinite(v) || std::abs(v) > kMaxLength || (!mayBeNegative && v < 0))
            throw Damaged();
        return v;
    }

    QRectF rect()
    {
        const double x = length(), y = length(), w = length(false), h = length(false);
        return QRectF(x, y, w, h);
    }

    QColor color() { return QColor::fromRgba(read<quint32>()); }

    // A count of things still to come, each at least minBytes long: more than the rest could hold is damage.
    quint32 count(qint64 minBytes)
    {
        const quint32 n = read<quint32>();
        if (qint64(n) * minBytes > remaining())
            throw Damaged();
        return n;
    }

    int index(int size)
    {
        const qint32 i = read<qint32>();
        if (i < 0 || i >= size)
            throw Damaged();
        return i;
    }

    void check() const
    {
        if (m_in.status() != QDataStream::Ok)
            throw Damaged();
    }
    [[nodiscard]] qint64 remaining() const { return m_size - m_in.device()->pos(); }
    [[nodiscard]] bool atEnd() const { return m_in.atEnd(); }

private:
    QDataStream m_in;
    qint64 m_size;
};

Rendering readPayload(const QByteArray& data)
{
    Reader in(data);
    Rendering r;
    r.title = in.read<QString>();
    r.finished = in.read<bool>();

    const quint32 fonts = in.count(4);
    for (quint32 i = 0; i < fonts; ++i) {
        ReportFont f;
        f.family = in.read<QString>();
        f.pointSize = in.read<double>();
        if (!std::isfinite(f.pointSize) || f.pointSize <= 0 || f.pointSize > 2000)
            throw Damaged();
        const quint8 flags = in.read<quint8>();
        f.bold = flags & 1;
        f.italic = flags & 2;
        f.underline = flags & 4;
        f.strikeOut = flags & 8;
        f.color = in.color();
        if (r.addFont(f) != static_cast<int>(i))
            throw Damaged(); // a table with the same font twice was not written by us
    }
    const quint32 richTexts = in.count(4);
    for (quint32 i = 0; i < richTexts; ++i)
        if (r.addRichText(in.read<QString>()) != static_cast<int>(i))
            throw Damaged();

    const int fontCount = static_cast<int>(r.fonts().size());
    const int richCount = static_cast<int>(r.richTexts().size());
    const quint32 pages = in.count(20);
    r.pages.reserve(pages);
    for (quint32 p = 0; p < pages; ++p) {
        Page page;
        const double w = in.length(false), h = in.length(false);
        if (w <= 0 || h <= 0)
            throw Damaged();
        page.size = QSizeF(w, h);
        const quint32 items = in.count(1);
        page.items.reserve(items);
        for (quint32 k = 0; k < items; ++k) {
            const quint8 tag = in.read<quint8>();
            switch (tag) {
            case TagText: {
                TextItem t;
                t.text = in.read<QString>();
                t.font = in.index(fontCount);
                t.box = in.rect();
                const quint8 a = in.read<quint8>();
                if (a > quint8(Alignment::Right))
                    throw Damaged();
                t.alignment = static_cast<Alignment>(a);
                page.items.emplace_back(std::move(t));
                break;
            }
            case TagLine: {
                LineItem l;
                const double x1 = in.length(), y1 = in.length(), x2 = in.length(), y2 = in.length();
                l.from = QPointF(x1, y1);
                l.to = QPointF(x2, y2);
                l.width = in.length(false);
                l.color = in.color();
                page.items.emplace_back(l);
                break;
            }
            case TagRect: {
                RectItem rect;
                rect.rect = in.rect();
                rect.fill = in.color();
                rect.penWidth = in.length(false);
                rect.penColor = in.color();
                page.items.emplace_back(rect);
                break;
            }
            case TagRichText:
            case TagRichTextPart: {
                RichTextItem t;
                const bool part = tag == TagRichTextPart;
                t.rect = in.rect();
                t.visibleHeight = in.length(false);
                t.content = in.index(richCount);
                if (part)
                    t.offset = in.length(false);
                page.items.emplace_back(t);
                break;
            }
            default:
                throw Damaged();
            }
        }
        r.pages.push_back(std::move(page));
    }
    // The pictures, where the pages show any (files without them end here).
    if (!in.atEnd()) {
        const quint32 images = in.count(8);
        for (quint32 i = 0; i < images; ++i) {
            const QString name = in.read<QString>();
            QImage image;
            if (!image.loadFromData(in.read<QByteArray>(), "PNG"))
                throw Damaged();
            r.addImage(name, image);
        }
    }
    if (!in.atEnd())
        throw Damaged();
    return r;
}

} // namespace

QString reportFileSuffix()
{
    return QStringLiteral("trp");
}

QString reportFileFilter()
{
    return QStringLiteral("Tovrel reports (*.trp);;All files (*)");
}

QByteArray serializeReport(const Rendering& r)
{
    QByteArray raw;
    {
        QDataStream out(&raw, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << r.title << r.finished;
        out << quint32(r.fonts().size());
        for (const ReportFont& f : r.fonts()) {
            out << f.family << f.pointSize
                << quint8((f.bold ? 1 : 0) | (f.italic ? 2 : 0) | (f.underline ? 4 : 0) | (f.strikeOut ? 8 : 0));
            writeColor(out, f.color);
        }
        out << quint32(r.richTexts().size());
        for (const QString& html : r.richTexts())
            out << html;
        out << quint32(r.pages.size());
        const Writer writer{out};
        for (const Page& page : r.pages) {
            out << page.size.width() << page.size.height() << quint32(page.items.size());
            for (const PageItem& item : page.items)
                std::visit(writer, item);
        }
        if (!r.images().empty()) {
            out << quint32(r.images().size());
            for (const auto& [name, image] : r.images()) {
                QByteArray png;
                QBuffer buffer(&png);
                buffer.open(QIODevice::WriteOnly);
                image.save(&buffer, "PNG");
                out << name << png;
            }
        }
    }
    const QByteArray payload = qCompress(raw);

    QByteArray bytes;
    bytes.reserve(kHeaderSize + payload.size() + kHashSize);
    bytes.append(kMagic, kMagicSize);
    char number[8];
    qToBigEndian<quint32>(kReportFileVersion, number);
    bytes.append(number, 4);
    qToBigEndian<quint64>(quint64(payload.size()), number);
    bytes.append(number, 8);
    bytes.append(payload);
    bytes.append(QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    return bytes;
}

Rendering deserializeReport(const QByteArray& bytes, const QString& name)
{
    if (bytes.size() < kMagicSize || !bytes.startsWith(QByteArrayView(kMagic, kMagicSize)))
        throw platform::AppError(QStringLiteral("The file %1 is not a saved Tovrel report").arg(name));
    const platform::AppError damaged(QStringLiteral("The file %1 is damaged and cannot be loaded").arg(name));
    if (bytes.size() < kHeaderSize)
        throw damaged;
    const quint32 version = qFromBigEndian<quint32>(bytes.constData() + kMagicSize);
    if (version > kReportFileVersion)
        throw platform::AppError(
            QStringLiteral("The file %1 was saved by a newer version of Tovrel and cannot be loaded").arg(name));
    if (version == 0)
        throw damaged;
    const quint64 length = qFromBigEndian<quint64>(bytes.constData() + kMagicSize + 4);
    if (length < 4 || length != quint64(bytes.size() - kHeaderSize - kHashSize))
        throw damaged;
    const QByteArray payload = bytes.mid(kHeaderSize, qsizetype(length));
    if (QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != bytes.right(kHashSize))
        throw damaged;
    if (qFromBigEndian<quint32>(payload.constData()) > kMaxPayloadSize)
        throw damaged;
    const QByteArray raw = qUncompress(payload);
    if (raw.isEmpty())
        throw damaged;
    try {
        return readPayload(raw);
    } catch (const Damaged&) {
        throw damaged;
    }
}

void saveReport(const Rendering& rendering, const QString& path)
{
    const QByteArray bytes = serializeReport(rendering);
    platform::OutputFile file(path);
    file.open();
    if (file.device().write(bytes) != bytes.size())
        throw platform::AppError(QStringLiteral("Cannot write the file %1: %2").arg(path, file.device().errorString()));
    file.commit();
}

Rendering loadReport(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw platform::AppError(QStringLiteral("File does not exist"));
    if (file.size() > kMaxFileSize)
        throw platform::AppError(QStringLiteral("The file %1 is not a saved Tovrel report").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot read the file %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size())
        throw platform::AppError(QStringLiteral("Cannot read the file %1: %2").arg(path, file.errorString()));
    return deserializeReport(bytes, path);
}

} // namespace reports
