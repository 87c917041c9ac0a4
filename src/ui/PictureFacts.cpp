#include "ui/PictureFacts.h"

#include "ui/PathText.h"
#include "ui/RunReport.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace ovrin::ui {

namespace {

constexpr std::int64_t kMinuteNs = 60'000'000'000;
constexpr std::int64_t kDayNs = 24 * 60 * kMinuteNs;

// The change from the reference in whole percent, 0 where unknown.
std::int64_t percentChange(std::int64_t value, std::int64_t reference)
{
    if (value <= 0 || reference <= 0)
        return 0;
    return std::llround(static_cast<double>(value - reference) * 100.0 /
                        static_cast<double>(reference));
}

QString signedPercent(std::int64_t change)
{
    // The typographic minus, as in running text.
    return (change < 0 ? QString(QChar(0x2212)) : QStringLiteral("+")) +
           QLocale().toString(static_cast<qlonglong>(std::abs(change)));
}

QString span(std::int64_t ns)
{
    const std::int64_t minutes = ns / kMinuteNs;
    if (minutes < 60)
        return FactText::tr("%1 min").arg(minutes);
    if (ns < 2 * kDayNs)
        return FactText::tr("%1 h").arg(minutes / 60);
    const std::int64_t days = ns / kDayNs;
    if (days < 60)
        return RunReport::count(days, FactText::tr("%1 day"), FactText::tr("%1 days"));
    if (days < 730)
        return RunReport::count(static_cast<std::int64_t>(static_cast<double>(days) / 30.44),
                                FactText::tr("%1 month"), FactText::tr("%1 months"));
    return RunReport::count(static_cast<std::int64_t>(static_cast<double>(days) / 365.25),
                            FactText::tr("%1 year"), FactText::tr("%1 years"));
}

} // namespace

PictureFacts PictureFacts::of(std::uint32_t width, std::uint32_t height)
{
    PictureFacts facts;
    if (width > 0 && height > 0) {
        facts.width = width;
        facts.height = height;
        facts.pixels = std::int64_t{width} * height;
    }
    return facts;
}

QString FactText::dimensions(const PictureFacts& facts)
{
    if (facts.width > 0 && facts.height > 0)
        return tr("%1 × %2").arg(facts.width).arg(facts.height);
    if (facts.pixels > 0)
        return tr("%1 MP").arg(QLocale().toString(static_cast<double>(facts.pixels) / 1e6, 'f', 1));
    return {};
}

QString FactText::size(const PictureFacts& facts)
{
    return facts.size < 0 ? QString() : QLocale().formattedDataSize(facts.size, 1);
}

QString FactText::modified(const PictureFacts& facts)
{
    if (!facts.timeKnown)
        return {};
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(facts.modifiedNs / 1'000'000),
                              QLocale::ShortFormat);
}

QString FactText::pixelNote(const PictureFacts& picture, const PictureFacts& reference)
{
    const std::int64_t change = percentChange(picture.pixels, reference.pixels);
    return change == 0 ? QString() : tr("%1% pixels").arg(signedPercent(change));
}

QString FactText::sizeNote(const PictureFacts& picture, const PictureFacts& reference)
{
    // A file of no bytes has no share to tell.
    const std::int64_t change = percentChange(picture.size, reference.size);
    return change == 0 ? QString() : tr("%1% size").arg(signedPercent(change));
}

QString FactText::ageNote(const PictureFacts& picture, const PictureFacts& reference)
{
    if (!picture.timeKnown || !reference.timeKnown)
        return {};
    const std::int64_t difference = picture.modifiedNs - reference.modifiedNs;
    // Copies made together differ by moments that say nothing.
    if (difference > -kMinuteNs && difference < kMinuteNs)
        return {};
    return difference < 0 ? tr("%1 older").arg(span(-difference))
                          : tr("%1 newer").arg(span(difference));
}

QString FactText::cell(const QString& value, const QString& note)
{
    if (note.isEmpty())
        return value;
    return value.isEmpty() ? note : value + QLatin1Char('\n') + note;
}

QString FactText::folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return PathText::display(path.substr(0, slash == 0 ? 1 : slash));
}

void FactText::sizeColumns(QHeaderView* header, int first, int last, int folder, bool widenOnly)
{
    const auto resize = [header, widenOnly](int column, int width) {
        header->resizeSection(column, std::max({header->sectionSizeHint(column), width,
                                                widenOnly ? header->sectionSize(column) : 0}));
    };
    const QWidget* view = header->parentWidget() != nullptr ? header->parentWidget() : header;
    QFont bold = view->font();
    bold.setBold(true); // references and targets are shown in bold
    const QFontMetrics metrics(bold);
    const QString most = signedPercent(-888);
    const QString samples[][2] = {
        {tr("%1 × %2").arg(8888).arg(8888), tr("%1% pixels").arg(most)},
        {QLocale().formattedDataSize(931'998'515, 1), tr("%1% size").arg(most)},
        {QLocale().toString(QDateTime(QDate(2088, 12, 28), QTime(23, 58)), QLocale::ShortFormat),
         tr("%1 older").arg(RunReport::count(88, tr("%1 month"), tr("%1 months")))},
    };
    // Room for the margins the style leaves around a cell's text.
    const int margins = 2 * metrics.averageCharWidth() + 8;
    const int bound = 24 * metrics.averageCharWidth();
    for (int column = first; column <= last && column - first < 3; ++column) {
        const auto& sample = samples[column - first];
        const int text =
            std::max(metrics.horizontalAdvance(sample[0]), metrics.horizontalAdvance(sample[1])) +
            margins;
        resize(column, std::min(text, bound));
    }
    resize(folder, 16 * metrics.averageCharWidth());
}

} // namespace ovrin::ui
