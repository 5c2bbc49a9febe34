#include "reports/Pages.h"

namespace reports {

int Rendering::addFont(const ReportFont& font)
{
    for (size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i] == font)
            return static_cast<int>(i);
    m_fonts.push_back(font);
    return static_cast<int>(m_fonts.size()) - 1;
}

int Rendering::addRichText(const QString& html)
{
    // Letters repeat one document on every page: keep it once.
    const auto it = m_richTextIndex.constFind(html);
    if (it != m_richTextIndex.constEnd())
        return *it;
    m_richTexts.push_back(html);
    const int index = static_cast<int>(m_richTexts.size()) - 1;
    m_richTextIndex.insert(html, index);
    return index;
}

int Rendering::addRichText(const QString& html, FilledTemplate filled)
{
    const int index = addRichText(html);
    if (filled.layout)
        m_filled.byContent.try_emplace(index, std::move(filled));
    return index;
}

const FilledTemplate* Rendering::filledTemplate(int content) const
{
    const auto it = m_filled.byContent.find(content);
    return it == m_filled.byContent.end() ? nullptr : &it->second;
}

void Rendering::addImage(const QString& name, const QImage& image)
{
    m_images.emplace(name, image);
}

QString unknownMergeFieldsText(const Rendering& rendering)
{
    return QStringLiteral("Unknown merge fields: ") + rendering.unknownMergeFields.join(QStringLiteral(", "));
}

QString shortenedNotice(int shortened)
{
    if (shortened <= 0)
        return {};
    return shortened == 1 ? QStringLiteral("1 value shortened to fit")
                          : QStringLiteral("%1 values shortened to fit").arg(shortened);
}

std::vector<int> pagesToPrint(const PageRange& range, int pageCount)
{
    std::vector<int> result;
    int from = 1;
    int to = pageCount;
    if (!range.all()) {
        from = std::max(1, range.from);
        to = range.to <= 0 ? pageCount : std::min(range.to, pageCount);
    }
    for (int p = from; p <= to; ++p)
        result.push_back(p - 1);
    return result;
}

} // namespace reports
